// Runs the real executable on every kind of bad input it can meet besides the
// command-line numbers (those are in test_entry_point.cpp): geometry files that
// are missing, empty, binary, truncated, not AMF or malformed; node counts the
// address space cannot hold; output folders that cannot be written or a disk
// that is full; odd standard inputs. Each case states the exit status, the
// message and its stream, and which files must (or must not) appear; every run
// must end by itself, without a signal or a sanitizer report.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/command_line.h"
#include "support/run_program.h"

namespace {

namespace fs = std::filesystem;

// Seconds a case may take: the runs below are a 5 x 5 x 5 mesh without
// particles, well under a second even under the sanitizers.
constexpr double CASE_TIME_LIMIT = 60;

const std::string GEOMETRY = "scene.amf";  // argument 10, relative to the run folder

// A tetrahedron with a 1 cm edge at the origin, as AMF vertices and triangles.
const std::string TETRA_VERTICES =
    "<vertices>"
    "<vertex><coordinates><x>0</x><y>0</y><z>0</z></coordinates></vertex>"
    "<vertex><coordinates><x>0.01</x><y>0</y><z>0</z></coordinates></vertex>"
    "<vertex><coordinates><x>0</x><y>0.01</y><z>0</z></coordinates></vertex>"
    "<vertex><coordinates><x>0</x><y>0</y><z>0.01</z></coordinates></vertex>"
    "</vertices>";
const std::string TETRA_TRIANGLES =
    "<triangle><v1>0</v1><v2>2</v2><v3>1</v3></triangle>"
    "<triangle><v1>0</v1><v2>1</v2><v3>3</v3></triangle>"
    "<triangle><v1>0</v1><v2>3</v2><v3>2</v3></triangle>"
    "<triangle><v1>1</v1><v2>2</v2><v3>3</v3></triangle>";

std::string amf(const std::string& objects) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<amf unit=\"meter\">\n" + objects + "</amf>\n";
}

std::string object(const std::string& name, const std::string& vertices, const std::string& triangles) {
  return "<object id=\"0\"><metadata type=\"name\">" + name + "</metadata><mesh>" + vertices + "<volume>" +
         triangles + "</volume></mesh></object>\n";
}

const std::string GOOD_OBJECT = object("electrode1", TETRA_VERTICES, TETRA_TRIANGLES);

// The tetrahedron with one vertex text replaced, for the bad-number cases.
std::string tetraWithVertexText(const std::string& from, const std::string& to) {
  std::string v = TETRA_VERTICES;
  v.replace(v.find(from), from.size(), to);
  return amf(object("electrode1", v, TETRA_TRIANGLES));
}

std::string tetraWithTriangle(const std::string& triangle) {
  return amf(object("electrode1", TETRA_VERTICES, TETRA_TRIANGLES + triangle));
}

std::string binaryBytes() {
  std::string b;
  for (int n = 0; n < 1024; ++n) b.push_back(static_cast<char>((n * 37 + 11) & 0xff));  // NULs included
  return b;
}

// 100 000 nested elements: a parser that recursed per level would exhaust the stack.
std::string deeplyNested() {
  std::string open, close;
  for (int n = 0; n < 100000; ++n) {
    open += "<g>";
    close += "</g>";
  }
  return amf(open + close + GOOD_OBJECT);
}

// What a case puts into its run folder before the run.
struct Prepared {
  std::vector<std::pair<std::string, std::string>> files;     // name, content
  std::vector<std::string> folders;                           // created empty
  std::vector<std::pair<std::string, std::string>> symlinks;  // name, target
};

Prepared geometry(const std::string& content) {
  Prepared p;
  p.files = {{GEOMETRY, content}};
  return p;
}

enum class Output { NONE, WRITTEN };  // NONE: the folder must be left exactly as prepared

struct BadInput {
  const char* what;
  Prepared prepared;
  std::vector<std::pair<int, std::string>> arguments;  // positions changed from the valid command line
  int exit_code;
  const char* out_message;  // must appear on standard output, nullptr: not checked
  const char* err_message;  // must appear on standard error, nullptr: not checked (solvers report there)
  Output output;
  const char* stdin_path = "/dev/null";
};

std::vector<std::string> commandLine(const BadInput& c) {
  CommandLine cl(GEOMETRY);
  cl.set(31, "50");  // output at steps 0, 50 and 100
  for (const auto& [position, text] : c.arguments) cl.set(position, text);
  return cl.args;
}

fs::path freshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("plasmabox_bad_inputs_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void prepare(const fs::path& dir, const Prepared& p) {
  for (const std::string& f : p.folders) fs::create_directories(dir / f);
  for (const auto& [name, content] : p.files) {
    fs::create_directories((dir / name).parent_path());
    std::ofstream(dir / name, std::ios::binary) << content;
  }
  for (const auto& [name, target] : p.symlinks) {
    fs::create_directories((dir / name).parent_path());
    fs::create_symlink(target, dir / name);
  }
}

std::vector<std::string> listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(fs::relative(e.path(), dir).string());
  std::sort(names.begin(), names.end());
  return names;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Common checks of one finished run: it ended by itself with the expected
// status and messages, and no sanitizer or runtime spoke up.
void checkRun(const BadInput& c, const ProgramResult& r) {
  EXPECT_FALSE(r.timed_out) << c.what;
  EXPECT_EQ(r.signal, 0) << c.what << ": killed by signal";
  EXPECT_EQ(r.exit_code, c.exit_code) << c.what << "\nstderr: " << r.err.substr(0, 2000);
  if (c.out_message) {
    EXPECT_TRUE(contains(r.out, c.out_message)) << c.what << "\nstdout: " << r.out.substr(0, 2000);
  }
  if (c.err_message) {
    EXPECT_TRUE(contains(r.err, c.err_message)) << c.what << "\nstderr: " << r.err.substr(0, 2000);
  }
  for (const char* alarm : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "terminate called"}) {
    EXPECT_FALSE(contains(r.err, alarm)) << c.what << "\nstderr: " << r.err.substr(0, 4000);
  }
}

void runCases(const std::vector<BadInput>& cases, const std::string& folder) {
  for (const BadInput& c : cases) {
    const fs::path dir = freshFolder(folder);
    prepare(dir, c.prepared);
    const std::vector<std::string> before = listing(dir);
    const ProgramResult r = runProgram(PLASMABOX_BINARY, commandLine(c), dir.string(), c.stdin_path, CASE_TIME_LIMIT);
    checkRun(c, r);
    if (c.output == Output::NONE) {
      EXPECT_EQ(listing(dir), before) << c.what << ": files touched where none should be";
    }
    if (c.output == Output::WRITTEN) {
      EXPECT_TRUE(fs::exists(dir / "output_e_100.csv")) << c.what << ": the run did not reach its last step";
      EXPECT_TRUE(fs::exists(dir / "vti/00100.vti")) << c.what;
    }
    fs::remove_all(dir);
  }
}

TEST(BadInputs, GeometryFilesTheReaderRefusesOrSkips) {
  const std::string bad_object_warning = "Object processed successfully";
  const std::vector<BadInput> cases = {
      // The run goes on without objects when the file cannot be loaded at all.
      {"missing file", {}, {}, 0, "Failed to load file: scene.amf", nullptr, Output::WRITTEN},
      {"empty file", geometry(""), {}, 0, "Failed to load file: scene.amf", nullptr, Output::WRITTEN},
      {"binary file", geometry(binaryBytes()), {}, 0, "Failed to load file", nullptr, Output::WRITTEN},
      {"truncated file", geometry(amf(GOOD_OBJECT).substr(0, 150)), {}, 0, "Failed to load file", nullptr,
       Output::WRITTEN},
      {"folder instead of a file", {{}, {GEOMETRY}, {}}, {}, 0, "Failed to load file", nullptr, Output::WRITTEN},
      {"empty path", {}, {{10, ""}}, 0, "Failed to load file: \n", nullptr, Output::WRITTEN},
      {"XML that is not AMF", geometry("<svg><object/></svg>"), {}, 0, nullptr, "Invalid AMF file format",
       Output::WRITTEN},
      {"root named AMF in capitals", geometry("<AMF>" + GOOD_OBJECT + "</AMF>"), {}, 0, nullptr,
       "Invalid AMF file format", Output::WRITTEN},
      {"deeply nested elements", geometry(deeplyNested()), {}, 0, "Object name: electrode1", nullptr,
       Output::WRITTEN},
      // Malformed objects and triangles are reported and skipped.
      {"object without metadata",
       geometry(amf("<object><mesh>" + TETRA_VERTICES + "</mesh></object>" + GOOD_OBJECT)), {}, 0,
       bad_object_warning.c_str(), "Missing metadata element", Output::WRITTEN},
      {"object without mesh", geometry(amf("<object><metadata>Body</metadata></object>")), {}, 0,
       "All objects processed", "Missing mesh element", Output::WRITTEN},
      {"vertex without coordinates",
       geometry(amf(object("electrode1", "<vertices><vertex/>" + TETRA_VERTICES.substr(10), TETRA_TRIANGLES))),
       {}, 0, bad_object_warning.c_str(), "Missing coordinates element", Output::WRITTEN},
      {"triangle index past the vertices",
       geometry(tetraWithTriangle("<triangle><v1>0</v1><v2>1</v2><v3>4</v3></triangle>")), {}, 0,
       bad_object_warning.c_str(), "Invalid triangle vertex index", Output::WRITTEN},
      {"negative triangle index",
       geometry(tetraWithTriangle("<triangle><v1>-1</v1><v2>1</v2><v3>2</v3></triangle>")), {}, 0,
       bad_object_warning.c_str(), "Invalid triangle vertex index", Output::WRITTEN},
      {"largest triangle index",
       geometry(tetraWithTriangle("<triangle><v1>2147483647</v1><v2>1</v2><v3>2</v3></triangle>")), {}, 0,
       bad_object_warning.c_str(), "Invalid triangle vertex index", Output::WRITTEN},
      {"object without vertices", geometry(amf(object("electrode1", "", ""))), {}, 0,
       bad_object_warning.c_str(), nullptr, Output::WRITTEN},
  };
  runCases(cases, "geometry");
}

TEST(BadInputs, BadNumbersInTheGeometryFileEndTheRunBeforeAnyOutput) {
  const std::vector<BadInput> cases = {
      {"letters as coordinate", geometry(tetraWithVertexText("<y>0.01</y>", "<y>one</y>")), {}, 1, nullptr,
       "invalid stold argument in <y> of vertex 3 of object \"electrode1\" in scene.amf", Output::NONE},
      {"coordinate out of range", geometry(tetraWithVertexText("<x>0.01</x>", "<x>1e999</x>")), {}, 1,
       nullptr, "stold argument out of range in <x> of vertex 2", Output::NONE},
      {"missing coordinate", geometry(tetraWithVertexText("<z>0.01</z>", "")), {}, 1, nullptr,
       "invalid stold argument in <z> of vertex 4", Output::NONE},
      {"empty triangle index",
       geometry(tetraWithTriangle("<triangle><v1>0</v1><v2></v2><v3>1</v3></triangle>")), {}, 1, nullptr,
       "invalid stoi argument in <v2> of triangle 5", Output::NONE},
      {"triangle index out of range",
       geometry(tetraWithTriangle("<triangle><v1>99999999999</v1><v2>1</v2><v3>2</v3></triangle>")), {}, 1,
       nullptr, "stoi argument out of range in <v1> of triangle 5", Output::NONE},
  };
  runCases(cases, "numbers");
}

TEST(BadInputs, NodeCountsBeyondTheAddressSpaceFailCleanly) {
  // 4194304^3 nodes wrap a 64-bit size to 0; both must fail before any allocation.
  const std::vector<BadInput> cases = {
      {"2^22 nodes per axis", {}, {{1, "4194304"}, {2, "4194304"}, {3, "4194304"}}, 1, nullptr, "out of memory",
       Output::NONE},
      {"a billion nodes per axis", {}, {{1, "1000000000"}, {2, "1000000000"}, {3, "1000000000"}}, 1, nullptr,
       "out of memory", Output::NONE},
      {"zero nodes", {}, {{3, "0"}}, 1, nullptr, "node count along z (argument 3) must be at least 3", Output::NONE},
      {"negative nodes", {}, {{1, "-4"}}, 1, nullptr, "node count along x (argument 1) must be at least 3",
       Output::NONE},
  };
  runCases(cases, "nodes");
}

TEST(BadInputs, OutputThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
  const std::vector<BadInput> cases = {
      // The folder of the output files is a regular file: nothing can be created there.
      {"output folder is a file",
       {{{"blocker", "not a folder"}}, {}, {}},
       {{25, "blocker/run_"}},
       0,
       "Simulation took",
       "Could not open blocker/run_output_O_50.csv//..//vti//00050.vti",
       Output::NONE},
      // A full disk, simulated by /dev/full: every later step is still written.
      {"density file on a full disk",
       {{}, {"vti"}, {{"output_O_50.csv", "/dev/full"}}},
       {},
       0,
       "Simulation took",
       "Could not write output_O_50.csv",
       Output::WRITTEN},
      {"VTK file on a full disk",
       {{}, {}, {{"vti/00050.vti", "/dev/full"}}},
       {},
       0,
       "Simulation took",
       "Could not write vti/00050.vti",
       Output::WRITTEN},
  };
  runCases(cases, "output");
}

TEST(BadInputs, OutputFilesBesideAFullDiskAreStillComplete) {
  const fs::path dir = freshFolder("full_disk");
  prepare(dir, {{}, {"vti"}, {{"output_O_50.csv", "/dev/full"}}});
  BadInput c{"full disk", {}, {}, 0, nullptr, "Could not write output_O_50.csv", Output::WRITTEN};
  const ProgramResult r = runProgram(PLASMABOX_BINARY, commandLine(c), dir.string(), "/dev/null", CASE_TIME_LIMIT);
  checkRun(c, r);
  // Exactly one report for the one lost file, and the step's other files are whole.
  EXPECT_EQ(r.err.find("Could not"), r.err.rfind("Could not")) << r.err;
  EXPECT_EQ(readWholeFile((dir / "output_e_50.csv").string()).rfind("x,y,z,data\n", 0), 0u);
  EXPECT_TRUE(contains(readWholeFile((dir / "vti/00050.vti").string()), "</VTKFile>\n"));
  fs::remove_all(dir);
}

TEST(BadInputs, StandardInputThatIsClosedOrOddDoesNotStopTheRun) {
  const fs::path typed_ahead = fs::temp_directory_path() / "plasmabox_bad_inputs_typed_ahead";
  std::ofstream(typed_ahead) << "\nmore lines\n";
  const std::vector<BadInput> cases = {
      {"end of input at once", geometry(amf(GOOD_OBJECT)), {}, 0,
       "Press the enter key once the confirmation is complete", nullptr, Output::WRITTEN, "/dev/null"},
      {"a line typed ahead", geometry(amf(GOOD_OBJECT)), {}, 0, "Simulation took", nullptr, Output::WRITTEN,
       typed_ahead.c_str()},
      {"a folder as standard input", geometry(amf(GOOD_OBJECT)), {}, 0, "Simulation took", nullptr,
       Output::WRITTEN, "/"},
  };
  runCases(cases, "stdin");
  fs::remove(typed_ahead);

  // Standard input closed altogether (not even /dev/null): the shell closes
  // descriptor 0 before it starts the program.
  const fs::path dir = freshFolder("closed_stdin");
  prepare(dir, geometry(amf(GOOD_OBJECT)));
  BadInput c{"closed standard input", {}, {}, 0, "Simulation took", nullptr, Output::WRITTEN};
  std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" <&-", PLASMABOX_BINARY};
  for (const std::string& a : commandLine(c)) args.push_back(a);
  const ProgramResult r = runProgram("/bin/sh", args, dir.string(), "/dev/null", CASE_TIME_LIMIT);
  checkRun(c, r);
  EXPECT_TRUE(fs::exists(dir / "output_O_100.csv"));
  fs::remove_all(dir);
}

}  // namespace
