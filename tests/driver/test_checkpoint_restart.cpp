// Checkpoints and restarts on runs of the real program: continuing byte for
// byte, refusals, a checkpoint killed mid-write, signals, other process counts.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "reference_case.h"
#include "support/command_line.h"
#include "support/run_on_processes.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

const std::string& SCENE = SMALL_SCENE;
const std::string LAYOUT_CHECK = std::string(PLASMABOX_SOURCE_DIR) + "/tests/driver/checkpoint_layout.py";

// Output every 5 steps, binary VTK files (every double in full).
CommandLine referenceCase() { return plasmabox::referenceCase("5"); }

const std::vector<std::string> FILES = {"threads=1", "vtk_format=binary", "history=history.csv", "series=on",
                                        "particles_every=10"};
// The ambient plasma flowing through, the body floating, electrode2 biased 3 V above it.
const std::vector<std::string> ELECTROSTATIC = {
    "field_model=electrostatic", "walls=grounded",        "dt=2e-10",          "ambient_density=3e9",
    "ambient_temperature_e=1",   "ambient_temperature_i=0.1", "ambient_drift=3e4,0,0", "floating=Body",
    "voltage.Body=-1",           "bias.electrode2=Body:3"};

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string stepName(int step) {
  char name[32];
  std::snprintf(name, sizeof name, "checkpoint/%05d.h5", step);
  return name;
}

// "" when both folders hold the same files (checkpoints aside) with the same bytes.
std::string firstDifferentFile(const fs::path& a, const fs::path& b) {
  std::vector<std::string> names[2];
  for (int n = 0; n < 2; ++n)
    for (const auto& e : fs::recursive_directory_iterator(n == 0 ? a : b))
      if (e.is_regular_file() && fs::relative(e.path(), n == 0 ? a : b).begin()->string() != "checkpoint")
        names[n].push_back(fs::relative(e.path(), n == 0 ? a : b).string());
  std::sort(names[0].begin(), names[0].end());
  std::sort(names[1].begin(), names[1].end());
  if (names[0] != names[1]) return "the runs wrote other files";
  if (names[0].empty()) return "no files";
  for (const std::string& name : names[0])
    if (readWholeFile((a / name).string()) != readWholeFile((b / name).string())) return name;
  return "";
}

TEST(CheckpointRestart, ARunContinuedFromItsCheckpointWritesTheFilesOfTheRunThatNeverStopped) {
  struct Case {
    const char* what;
    int processes;
    std::vector<std::string> options;
  };
  // 60 steps against 30, a checkpoint and 30 more: the continuation starts
  // from the restored particle bins and solver extrapolation.
  const std::vector<Case> cases = {{"induction, one process", 1, {}},
                                   {"electrostatic, ambient plasma, floating body, one process", 1, ELECTROSTATIC},
                                   {"induction, two processes", 2, {}},
                                   {"electrostatic, ambient plasma, floating body, two processes", 2, ELECTROSTATIC}};
  for (const Case& c : cases) {
    const TempFolder whole("whole"), split("split");
    const std::vector<std::string> options = joined(joined(FILES, c.options), {"seed=11"});
    const std::vector<std::string> args = referenceCase().with(options);
    ProgramResult r = runOnProcesses(c.processes, joined(args, {"max_step=60"}), whole.path.string());
    ASSERT_EQ(r.exit_code, 0) << c.what << r.err;
    r = runOnProcesses(c.processes, joined(args, {"max_step=30", "checkpoint_every=30"}), split.path.string());
    ASSERT_EQ(r.exit_code, 0) << c.what << r.err;
    EXPECT_NE(r.out.find("Checkpoint written: checkpoint/00030.h5"), std::string::npos) << c.what << r.out;
    // The restart gives no seed: its streams come from the checkpoint.
    const std::vector<std::string> again =
        referenceCase().with(joined(joined(FILES, c.options), {"max_step=60", "restart=" + stepName(30)}));
    r = runOnProcesses(c.processes, again, split.path.string());
    ASSERT_EQ(r.exit_code, 0) << c.what << r.err;
    EXPECT_NE(r.out.find("Restarted from checkpoint/00030.h5 at step 30"), std::string::npos) << c.what << r.out;
    EXPECT_EQ(firstDifferentFile(whole.path, split.path), "") << c.what;
    if (c.processes == 2) {
      // The layout the README documents, read with h5py.
      const std::string python = "/usr/bin/python3";
      if (runProgram(python, {"-c", "import h5py"}).exit_code != 0) continue;
      r = runProgram(python, {LAYOUT_CHECK, (split.path / stepName(30)).string(), "12", "12", "12", "2",
                              (split.path / "history.csv").string()});
      EXPECT_EQ(r.exit_code, 0) << c.what << r.out << r.err;
    }
  }
}

TEST(CheckpointRestart, ARestartRefusesOtherPhysicsAndRunsOnWithOtherLimits) {
  const TempFolder d("refusals");
  const std::vector<std::string> first = referenceCase().with(joined(FILES, {"seed=3", "max_step=4", "checkpoint_every=4"}));
  ASSERT_EQ(runProgram(PLASMABOX_BINARY, first, d.path.string()).exit_code, 0);
  fs::copy_file(SCENE, d.file("edited.amf"));
  std::ofstream(d.file("edited.amf"), std::ios::app) << "<!-- edited -->\n";
  struct Case {
    const char* what;
    int position;  // argument changed, 0 for none
    std::string value;
    std::vector<std::string> options;
    const char* message;  // in the refusal; "" when the run goes on
  };
  const std::vector<Case> cases = {
      {"another density", 29, "6e9", {}, "argument 29 (density_e) is \"5e+09\" in the checkpoint's run and \"6e+09\""},
      {"another mesh", 2, "13", {}, "argument 2 (nj)"},
      {"another AMF file", 10, d.file("edited.amf"), {}, "contents of the AMF file (argument 10)"},
      {"another time step", 0, "", {"dt=2e-11"}, "option dt is \"dt=1e-11\""},
      {"another field model", 0, "", {"field_model=electrostatic"}, "option field_model"},
      {"another seed", 0, "", {"seed=4"}, "continues the random streams of seed 3"},
      {"no such file", 0, "", {"restart=checkpoint/00005.h5"}, "option \"restart=checkpoint/00005.h5\": file"},
      {"more steps, other solver limits and team", 28, "1e-3", {"max_step=8", "threads=2"}, ""},
      {"the same AMF contents under another name", 10, d.file("scene copy.amf"), {"max_step=6"}, ""},
  };
  fs::copy_file(SCENE, d.file("scene copy.amf"));
  for (const Case& c : cases) {
    CommandLine cl = referenceCase();
    if (c.position) cl.set(c.position, c.value);
    std::vector<std::string> options = joined(FILES, {"restart=" + stepName(4)});
    options = joined(options, c.options);
    const ProgramResult r = runProgram(PLASMABOX_BINARY, cl.with(options), d.path.string());
    if (*c.message) {
      EXPECT_EQ(r.exit_code, 1) << c.what;
      EXPECT_NE(r.err.find(c.message), std::string::npos) << c.what << "\n" << r.err;
      EXPECT_EQ(r.out.find("Loading file"), std::string::npos) << c.what << ": refused only after the set-up";
    } else {
      EXPECT_EQ(r.exit_code, 0) << c.what << r.err;
      EXPECT_NE(r.out.find("Restarted from checkpoint/00004.h5 at step 4"), std::string::npos) << c.what << r.out;
    }
  }
}

TEST(CheckpointRestart, ACheckpointKilledWhileBeingWrittenLeavesThePreviousOneToRestartFrom) {
  const TempFolder whole("whole"), killed("killed");
  const std::vector<std::string> args = referenceCase().with(joined(FILES, {"seed=5", "max_step=12"}));
  ASSERT_EQ(runProgram(PLASMABOX_BINARY, args, whole.path.string()).exit_code, 0);
  // Killed once the fields of step 8's checkpoint are in its file, before the particles.
  setenv("PLASMABOX_TEST_KILL_IN_CHECKPOINT", "8", 1);
  ProgramResult r = runProgram(PLASMABOX_BINARY, joined(args, {"checkpoint_every=4"}), killed.path.string());
  unsetenv("PLASMABOX_TEST_KILL_IN_CHECKPOINT");
  EXPECT_EQ(r.signal, SIGKILL);
  EXPECT_TRUE(fs::exists(killed.path / stepName(4)));
  EXPECT_TRUE(fs::exists(killed.path / (stepName(8) + ".tmp")));
  EXPECT_FALSE(fs::exists(killed.path / stepName(8)));
  r = runProgram(PLASMABOX_BINARY, joined(args, {"restart=" + stepName(4), "checkpoint_every=4", "checkpoint_keep=1"}),
                 killed.path.string());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(firstDifferentFile(whole.path, killed.path), "");
  // Keeping one: only the last; the unfinished file went with the next complete one.
  std::vector<std::string> kept;
  for (const auto& e : fs::directory_iterator(killed.path / "checkpoint")) kept.push_back(e.path().filename().string());
  EXPECT_EQ(kept, std::vector<std::string>{"00012.h5"});
}

// Starts the program in dir, its output in dir/out.txt; returns its process id.
pid_t startProgram(const std::vector<std::string>& args, const fs::path& dir) {
  const pid_t pid = fork();
  if (pid == 0) {
    const std::string out = (dir / "out.txt").string();
    if (!freopen("/dev/null", "r", stdin) || !freopen(out.c_str(), "w", stdout) || chdir(dir.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(PLASMABOX_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(PLASMABOX_BINARY, argv.data());
    _exit(127);
  }
  return pid;
}

TEST(CheckpointRestart, SigtermStopsTheRunWithACheckpointFromWhichItContinuesByteForByte) {
  const TempFolder stopped("stopped"), whole("whole");
  CommandLine cl = referenceCase();
  cl.set(31, "1000");  // fields at step 0 alone: the stop step is not known beforehand
  const std::vector<std::string> options = {"threads=1", "history=history.csv", "seed=9"};
  const pid_t pid = startProgram(cl.with(joined(options, {"max_step=1000000"})), stopped.path);
  const auto start = std::chrono::steady_clock::now();
  while (readWholeFile(stopped.file("out.txt")).find("ts: 20\t") == std::string::npos &&
         std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
  const std::string out = readWholeFile(stopped.file("out.txt"));
  int step = -1;
  const std::size_t at = out.find("Stopped at step ");
  ASSERT_NE(at, std::string::npos) << out.substr(out.size() > 2000 ? out.size() - 2000 : 0);
  ASSERT_EQ(std::sscanf(out.c_str() + at, "Stopped at step %d on SIGTERM", &step), 1);
  EXPECT_NE(out.find("continue with restart=" + stepName(step)), std::string::npos);
  fs::remove(stopped.file("out.txt"));

  const std::string end = "max_step=" + std::to_string(step + 10);
  ProgramResult r = runProgram(PLASMABOX_BINARY, cl.with(joined(options, {end, "restart=" + stepName(step)})),
                               stopped.path.string());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_EQ(runProgram(PLASMABOX_BINARY, cl.with(joined(options, {end})), whole.path.string()).exit_code, 0);
  EXPECT_EQ(firstDifferentFile(whole.path, stopped.path), "");
}

TEST(CheckpointRestart, StopSignalsEndTheRunWithTheirOwnStatus) {
  struct Case {
    const char* what;
    const char* signals;  // PLASMABOX_TEST_SIGNAL: rank, step, signal, count
    bool blocked;         // a file stands where the checkpoint folder goes
    int status;
    const char* checkpoint;  // the file left, or ""
    const char* message;
  };
  const std::vector<Case> cases = {
      {"SIGUSR1", "0:5:10:1", false, 3, "00005.h5", "Stopped at step 5 on SIGUSR1: continue with restart=checkpoint/00005.h5"},
      {"a second SIGTERM", "0:5:15:2", false, 128 + SIGTERM, "", ""},
      {"no checkpoint possible", "0:5:15:1", true, 1, "", "Stopped at step 5 on SIGTERM without a checkpoint"},
      {"during the last step", "0:8:15:1", false, 0, "", "Simulation took"},
  };
  for (const Case& c : cases) {
    const TempFolder d("signals");
    if (c.blocked) d.write("checkpoint", "not a folder");
    setenv("PLASMABOX_TEST_SIGNAL", c.signals, 1);
    const ProgramResult r =
        runProgram(PLASMABOX_BINARY, referenceCase().with({"threads=1", "seed=2", "max_step=8"}), d.path.string());
    unsetenv("PLASMABOX_TEST_SIGNAL");
    EXPECT_EQ(r.exit_code, c.status) << c.what << r.err;
    EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << c.what << r.out << r.err;
    if (*c.checkpoint) {
      EXPECT_TRUE(fs::exists(d.path / "checkpoint" / c.checkpoint)) << c.what;
    } else if (!c.blocked) {
      EXPECT_FALSE(fs::exists(d.path / "checkpoint")) << c.what;
    }
  }
}

// The counts and charges of a "Restarted from" line: "O+ N (Q C), e- N (Q C)".
std::vector<double> restartTotals(const std::string& out) {
  std::vector<double> totals;
  const std::size_t at = out.find("Restarted from ");
  if (at == std::string::npos) return totals;
  double n[2], q[2];
  if (std::sscanf(out.c_str() + out.find("): ", at) + 3, "O+ %lf (%lf C), e- %lf (%lf C)", &n[0], &q[0], &n[1], &q[1]) == 4)
    totals = {n[0], q[0], n[1], q[1]};
  return totals;
}

TEST(CheckpointRestart, TheCheckpointOfTwoProcessesRestartsOnOneWithTheSameParticles) {
  const TempFolder d("processes");
  const std::vector<std::string> args = referenceCase().with(joined(joined(FILES, ELECTROSTATIC), {"seed=4"}));
  ProgramResult r = runOnProcesses(2, joined(args, {"max_step=20", "checkpoint_every=20"}), d.path.string());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::vector<std::string>> history = readCsv(d.file("history.csv"));
  ASSERT_EQ(history.size(), 22u);
  // Ten more steps on two processes and on one: the same population at the
  // restart, and within the noise of the walls' inflow (1800 e- a step) later.
  std::vector<double> totals[2], later[2];
  for (int processes : {2, 1}) {
    r = runOnProcesses(processes,
                       referenceCase().with(joined(joined(FILES, ELECTROSTATIC), {"max_step=30", "restart=" + stepName(20)})),
                       d.path.string());
    ASSERT_EQ(r.exit_code, 0) << r.err;
    totals[processes - 1] = restartTotals(r.out);
    ASSERT_EQ(totals[processes - 1].size(), 4u) << r.out;
    const std::vector<std::vector<std::string>> continued = readCsv(d.file("history.csv"));
    ASSERT_EQ(continued.size(), 32u);
    EXPECT_EQ(continued[21], history[21]);  // the rows up to the checkpoint stay
    later[processes - 1] = {std::stod(continued[31].at(2)), std::stod(continued[31].at(4))};
  }
  EXPECT_EQ(totals[0][0], std::stod(history[21].at(2)));  // O+ count at step 20
  EXPECT_EQ(totals[0][2], std::stod(history[21].at(4)));  // e- count
  for (int v = 0; v < 4; ++v) EXPECT_NEAR(totals[0][v], totals[1][v], 1e-12 * std::fabs(totals[1][v])) << v;
  for (int s = 0; s < 2; ++s) EXPECT_NEAR(later[0][s], later[1][s], 5 * std::sqrt(10 * 1800.0)) << s;
}

TEST(CheckpointRestart, ASignalToOneProcessStopsEveryProcessAtTheSameStep) {
  const TempFolder d("one_signal");
  setenv("PLASMABOX_TEST_SIGNAL", "1:4:10:1", 1);
  const ProgramResult r = runOnProcesses(2, referenceCase().with({"threads=1", "seed=2", "max_step=8"}), d.path.string());
  unsetenv("PLASMABOX_TEST_SIGNAL");
  EXPECT_EQ(r.exit_code, 3) << r.err;
  EXPECT_NE(r.out.find("Stopped at step 4 on SIGUSR1"), std::string::npos) << r.out;
  EXPECT_TRUE(fs::exists(d.path / stepName(4)));
}

}  // namespace
