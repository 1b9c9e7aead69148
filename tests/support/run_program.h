#pragma once
// Runs the real executable in a child process and captures what it prints.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace plasmabox {

struct ProgramResult {
  int exit_code = -1;    // exit status, or -1 when the program was killed by a signal
  int signal = 0;        // signal that ended it, 0 if none
  bool timed_out = false;
  std::string out, err;
};

// A fresh, empty folder for one test in the temporary directory, removed at the
// end; its name is made unique per process, so that test programs running at
// the same time never share one.
struct TempFolder {
  std::filesystem::path path;
  explicit TempFolder(const std::string& name)
      : path(std::filesystem::temp_directory_path() / ("plasmabox_" + std::to_string(getpid()) + "_" + name)) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
  }
  ~TempFolder() { std::filesystem::remove_all(path); }
  TempFolder(const TempFolder&) = delete;
  std::string file(const std::string& name) const { return (path / name).string(); }
  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path / name, std::ios::binary) << bytes;
    return file(name);
  }
};

inline std::string readWholeFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

// The cells of each line of a CSV file without quoting, the header included.
inline std::vector<std::vector<std::string>> readCsv(const std::string& path) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(readWholeFile(path));
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string>& row = rows.emplace_back();
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) row.push_back(cell);
  }
  return rows;
}

// The name the program gives the image of step ts, relative to its csv folder.
inline std::string vtiName(int ts, const std::string& suffix = ".vti") {
  char name[32];
  std::snprintf(name, sizeof name, "vti/%05d", ts);
  return name + suffix;
}

// Runs program with args in directory cwd; standard input comes from stdin_path
// ("/dev/null" closes it at once). Kills the program after timeout_s seconds.
inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::string& cwd = ".", const std::string& stdin_path = "/dev/null",
                                double timeout_s = 120) {
  char out_name[] = "/tmp/plasmabox_out_XXXXXX";
  char err_name[] = "/tmp/plasmabox_err_XXXXXX";
  const int out_fd = mkstemp(out_name);
  const int err_fd = mkstemp(err_name);
  ProgramResult r;
  const pid_t pid = fork();
  if (pid == 0) {
    const int in_fd = open(stdin_path.c_str(), O_RDONLY);
    if (in_fd >= 0) dup2(in_fd, 0);
    dup2(out_fd, 1), dup2(err_fd, 2);
    if (chdir(cwd.c_str()) != 0) _exit(127);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  const auto start = std::chrono::steady_clock::now();
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(timeout_s)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      r.timed_out = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
  close(out_fd), close(err_fd);
  r.out = readWholeFile(out_name), r.err = readWholeFile(err_name);
  unlink(out_name), unlink(err_name);
  return r;
}

}  // namespace plasmabox
