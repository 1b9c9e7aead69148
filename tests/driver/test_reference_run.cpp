// The seeded run of the small scene against the gzip references in
// tests/driver/reference (scripts/record_reference.sh writes them anew).
#include <gtest/gtest.h>
#include <omp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/simulation.h"
#include "particles/random.h"
#include "reference_case.h"
#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

const std::string& SCENE = SMALL_SCENE;
const fs::path REFERENCE = fs::path(PLASMABOX_SOURCE_DIR) / "tests/driver/reference";
constexpr uint32_t SEED = 20240611;

std::string readGzip(const fs::path& path) {
  std::string text;
  gzFile f = gzopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[1 << 16];
  for (int n; (n = gzread(f, buf, sizeof buf)) > 0;) text.append(buf, static_cast<std::size_t>(n));
  gzclose(f);
  return text;
}

void writeGzip(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  gzFile f = gzopen(path.c_str(), "wb9");
  ASSERT_NE(f, nullptr) << path;
  ASSERT_EQ(gzwrite(f, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size()));
  gzclose(f);
}

std::vector<std::string> split(const std::string& text, const char* separators) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= text.size()) {
    const std::size_t end = std::min(text.find_first_of(separators, at), text.size());
    parts.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

// "" when equal; otherwise where the first difference is: line and value.
std::string firstDifference(const std::string& expected, const std::string& actual) {
  const std::vector<std::string> e = split(expected, "\n"), a = split(actual, "\n");
  for (std::size_t line = 0; line < std::max(e.size(), a.size()); ++line) {
    const std::string el = line < e.size() ? e[line] : "<end of file>", al = line < a.size() ? a[line] : "<end of file>";
    if (el == al) continue;
    const std::vector<std::string> ev = split(el, " ,\t"), av = split(al, " ,\t");
    std::size_t v = 0;
    while (v < ev.size() && v < av.size() && ev[v] == av[v]) ++v;
    return "line " + std::to_string(line + 1) + ", value " + std::to_string(v + 1) + ": expected \"" +
           (v < ev.size() ? ev[v] : "") + "\", got \"" + (v < av.size() ? av[v] : "") + "\"";
  }
  return "";
}

// The console without its clock readings and with this checkout's paths replaced.
std::string stableConsole(const std::string& text, const fs::path& dir) {
  std::istringstream in(text);
  std::string kept;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("mv_part time: ", 0) == 0 || line.rfind("Simulation took ", 0) == 0) continue;
    kept += line + '\n';
  }
  for (const auto& [what, with] : {std::pair{SCENE, "<scene>"}, {dir.string(), "<dir>"}})
    for (std::size_t at = kept.find(what); at != std::string::npos; at = kept.find(what, at + 1))
      kept.replace(at, what.size(), with);
  return kept;
}

// Every file a run wrote, by name relative to its folder, and its console.
using Outputs = std::vector<std::pair<std::string, std::string>>;

// one_thread: every parallel region limited to one thread.
Outputs seededRun(CommandLine cl, const std::string& name, bool one_thread) {
  const TempFolder folder("reference_" + name);
  const fs::path& dir = folder.path;
  cl.set(25, dir.string() + "/");
  std::ostringstream out, err;
  std::streambuf* const old_out = std::cout.rdbuf(out.rdbuf());
  std::streambuf* const old_err = std::cerr.rdbuf(err.rdbuf());
  std::istringstream enter("\n");
  const int levels = omp_get_max_active_levels();
  omp_set_max_active_levels(one_thread ? 0 : levels);
  seedRandom(SEED);
  int status = -1;
  try {
    status = runSimulation(cl.args, enter);
  } catch (const std::exception& e) {
    err << e.what();
  }
  omp_set_max_active_levels(levels);
  std::cout.rdbuf(old_out), std::cerr.rdbuf(old_err);
  EXPECT_EQ(status, 0) << err.str();

  Outputs files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files.emplace_back(fs::relative(e.path(), dir).generic_string(), readWholeFile(e.path()));
  std::sort(files.begin(), files.end());
  files.emplace_back("console.out", stableConsole(out.str(), dir));
  files.emplace_back("console.err", stableConsole(err.str(), dir));
  return files;
}

void expectSameOutputs(const Outputs& one, const Outputs& team, const std::string& what) {
  ASSERT_EQ(one.size(), team.size()) << what;
  for (std::size_t n = 0; n < one.size(); ++n) {
    EXPECT_EQ(one[n].first, team[n].first) << what;
    EXPECT_EQ(firstDifference(one[n].second, team[n].second), "") << one[n].first << ", " << what;
  }
}

// Output at steps 0 and 100.
CommandLine referenceCase() { return plasmabox::referenceCase("100"); }

TEST(ReferenceRun, SeededRunReproducesTheStoredOutputs) {
  if (!fs::exists(SCENE)) GTEST_SKIP() << "bundled scene missing";
  const Outputs run = seededRun(referenceCase(), "seeded", true);
  if (const char* record = std::getenv("PLASMABOX_RECORD_REFERENCE")) {
    fs::remove_all(record);
    for (const auto& [name, text] : run) writeGzip(fs::path(record) / (name + ".gz"), text);
    GTEST_SKIP() << "references recorded in " << record;
  }
  std::set<std::string> stored, written;
  for (const auto& e : fs::recursive_directory_iterator(REFERENCE))
    if (e.is_regular_file()) stored.insert(fs::relative(e.path(), REFERENCE).generic_string());
  for (const auto& [name, text] : run) written.insert(name + ".gz");
  EXPECT_EQ(written, stored) << "the run wrote other files than the references";
  for (const auto& [name, text] : run) EXPECT_EQ(firstDifference(readGzip(REFERENCE / (name + ".gz")), text), "") << name;
}

// Without solver sweeps (whose blocks follow the team) no output depends on the team.
TEST(ReferenceRun, OutputsDoNotDependOnTheTeamSize) {
  if (!fs::exists(SCENE)) GTEST_SKIP() << "bundled scene missing";
  const CommandLine cl = referenceCase().set(27, "0").set(51, "0").set(31, "50");
  expectSameOutputs(seededRun(cl, "one", true), seededRun(cl, "team", false), "team");
}

// A thermal electrostatic run (multigrid solves, particles crossing tiles)
// writes the same files for threads=1, 2 and 3.
TEST(ReferenceRun, ElectrostaticThermalRunDoesNotDependOnTheTeamSize) {
  if (!fs::exists(SCENE)) GTEST_SKIP() << "bundled scene missing";
  const CommandLine thermal = referenceCase().set(31, "7").set(28, "1e-2");
  const std::vector<std::string> options = {"field_model=electrostatic", "magnetic_solver=multigrid",
                                            "temperature_e=2", "temperature_i=0.5", "dt=2e-10", "max_step=15",
                                            "particles_every=7"};
  const auto withThreads = [&](int threads) {
    CommandLine cl = thermal;
    cl.args = thermal.with(options);
    cl.args.push_back("threads=" + std::to_string(threads));
    return cl;
  };
  // The console's first line lists the options, the thread count among them.
  const auto withoutOptions = [](Outputs files) {
    for (auto& [name, text] : files)
      if (name == "console.out" && text.rfind("Run options: ", 0) == 0) text.erase(0, text.find('\n') + 1);
    return files;
  };
  const Outputs one = withoutOptions(seededRun(withThreads(1), "thermal1", false));
  for (int threads : {2, 3}) {
    const std::string name = "thermal" + std::to_string(threads);
    expectSameOutputs(one, withoutOptions(seededRun(withThreads(threads), name, false)), name);
  }
}

}  // namespace
