// Runs the real executable on every kind of bad input besides the command-line
// numbers (test_entry_point.cpp): bad geometry files, impossible node counts,
// unwritable output, odd standard inputs. Each case states exit status, message,
// stream and which files may appear; no run may end by a signal or a sanitizer report.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/command_line.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

constexpr double CASE_TIME_LIMIT = 60;     // seconds; a 5^3 run without particles takes well under one
const std::string GEOMETRY = "scene.amf";  // argument 10, relative to the run folder

// A tetrahedron with a 1 cm edge at the origin.
const std::string TETRA_VERTICES = "<vertices><vertex><coordinates><x>0</x><y>0</y><z>0</z></coordinates></vertex>"
    "<vertex><coordinates><x>0.01</x><y>0</y><z>0</z></coordinates></vertex><vertex><coordinates><x>0</x><y>0.01</y>"
    "<z>0</z></coordinates></vertex><vertex><coordinates><x>0</x><y>0</y><z>0.01</z></coordinates></vertex></vertices>";
const std::string TETRA_TRIANGLES =
    "<triangle><v1>0</v1><v2>2</v2><v3>1</v3></triangle><triangle><v1>0</v1><v2>1</v2><v3>3</v3></triangle>"
    "<triangle><v1>0</v1><v2>3</v2><v3>2</v3></triangle><triangle><v1>1</v1><v2>2</v2><v3>3</v3></triangle>";

std::string amf(const std::string& objects) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<amf unit=\"meter\">\n" + objects + "</amf>\n";
}

std::string object(const std::string& vertices, const std::string& triangles) {
  return "<object id=\"0\"><metadata type=\"name\">electrode1</metadata><mesh>" + vertices + "<volume>" +
         triangles + "</volume></mesh></object>\n";
}

const std::string GOOD_OBJECT = object(TETRA_VERTICES, TETRA_TRIANGLES);

std::string tetraWithVertexText(const std::string& from, const std::string& to) {
  std::string v = TETRA_VERTICES;
  v.replace(v.find(from), from.size(), to);
  return amf(object(v, TETRA_TRIANGLES));
}

std::string tetraWithTriangle(const char* v1, const char* v2) {
  return amf(object(TETRA_VERTICES, TETRA_TRIANGLES + "<triangle><v1>" + v1 + "</v1><v2>" + v2 +
                                        "</v2><v3>2</v3></triangle>"));
}

std::string binaryBytes() {
  std::string b;
  for (int n = 0; n < 1024; ++n) b.push_back(static_cast<char>((n * 37 + 11) & 0xff));  // NULs included
  return b;
}

// 100 000 nested elements: a parser that recursed per level would exhaust the stack.
std::string deeplyNested() {
  std::string open, close;
  for (int n = 0; n < 100000; ++n) open += "<g>", close += "</g>";
  return amf(open + close + GOOD_OBJECT);
}

// What a case puts into its run folder before the run.
struct Prepared {
  std::vector<std::pair<std::string, std::string>> files;     // name, content
  std::vector<std::string> folders;                           // created empty
  std::vector<std::pair<std::string, std::string>> symlinks;  // name, target
};

Prepared geometry(const std::string& content) { return {{{GEOMETRY, content}}, {}, {}}; }

enum class Output { NONE, WRITTEN };  // NONE: the folder must be left exactly as prepared

struct BadInput {
  const char* what;
  Prepared prepared;
  std::vector<std::pair<int, std::string>> arguments;  // positions changed from the valid command line
  int exit_code;
  const char* out_message;  // must appear on standard output; nullptr: not checked
  const char* err_message;  // must appear on standard error; nullptr: not checked
  Output output;
  const char* stdin_path = "/dev/null";
};

std::vector<std::string> commandLine(const BadInput& c) {
  CommandLine cl(GEOMETRY);
  cl.set(31, "50");  // output at steps 0, 50 and 100
  for (const auto& [position, text] : c.arguments) cl.set(position, text);
  return cl.args;
}

fs::path preparedFolder(const std::string& name, const Prepared& p) {
  const fs::path dir = testFolder("bad_inputs_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  for (const std::string& f : p.folders) fs::create_directories(dir / f);
  for (const auto& [file, content] : p.files) std::ofstream(dir / file, std::ios::binary) << content;
  for (const auto& [link, target] : p.symlinks) {
    fs::create_directories((dir / link).parent_path());
    fs::create_symlink(target, dir / link);
  }
  return dir;
}

std::vector<std::string> listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(dir)) names.push_back(fs::relative(e.path(), dir).string());
  return std::sort(names.begin(), names.end()), names;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void checkRun(const BadInput& c, const ProgramResult& r) {
  EXPECT_FALSE(r.timed_out) << c.what;
  EXPECT_EQ(r.signal, 0) << c.what << ": killed by signal";
  EXPECT_EQ(r.exit_code, c.exit_code) << c.what << "\nstderr: " << r.err.substr(0, 2000);
  EXPECT_TRUE(!c.out_message || contains(r.out, c.out_message)) << c.what << "\nstdout: " << r.out.substr(0, 2000);
  EXPECT_TRUE(!c.err_message || contains(r.err, c.err_message)) << c.what << "\nstderr: " << r.err.substr(0, 2000);
  for (const char* alarm : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "terminate called"})
    EXPECT_FALSE(contains(r.err, alarm)) << c.what << "\nstderr: " << r.err.substr(0, 4000);
}

void runCases(const std::vector<BadInput>& cases, const std::string& folder) {
  for (const BadInput& c : cases) {
    const fs::path dir = preparedFolder(folder, c.prepared);
    const std::vector<std::string> before = listing(dir);
    checkRun(c, runProgram(PLASMABOX_BINARY, commandLine(c), dir.string(), c.stdin_path, CASE_TIME_LIMIT));
    if (c.output == Output::NONE) {
      EXPECT_EQ(listing(dir), before) << c.what << ": files touched";
    } else {  // the run reached its last step
      EXPECT_TRUE(fs::exists(dir / "output_e_100.csv") && fs::exists(dir / "vti/00100.vti")) << c.what;
    }
    fs::remove_all(dir);
  }
}

TEST(BadInputs, GeometryFilesTheReaderRefusesOrSkips) {
  const char* skipped = "Object processed successfully";
  const Output W = Output::WRITTEN;
  runCases({
      // The run goes on without objects when the file cannot be loaded at all.
      {"missing file", {}, {}, 0, "Failed to load file: scene.amf", nullptr, W},
      {"empty file", geometry(""), {}, 0, "Failed to load file: scene.amf", nullptr, W},
      {"binary file", geometry(binaryBytes()), {}, 0, "Failed to load file", nullptr, W},
      {"truncated file", geometry(amf(GOOD_OBJECT).substr(0, 150)), {}, 0, "Failed to load file", nullptr, W},
      {"XML that is not AMF", geometry("<svg><object/></svg>"), {}, 0, nullptr, "Invalid AMF file format", W},
      {"deeply nested elements", geometry(deeplyNested()), {}, 0, "Object name: electrode1", nullptr, W},
      // Malformed objects and triangles are reported and skipped.
      {"object without metadata", geometry(amf("<object><mesh>" + TETRA_VERTICES + "</mesh></object>" + GOOD_OBJECT)),
       {}, 0, skipped, "Missing metadata element", W},
      {"triangle index past the vertices", geometry(tetraWithTriangle("0", "4")), {}, 0, skipped,
       "Invalid triangle vertex index", W},
      {"object without vertices", geometry(amf(object("", ""))), {}, 0, skipped, nullptr, W},
  }, "geometry");
}

TEST(BadInputs, BadNumbersInTheGeometryFileEndTheRunBeforeAnyOutput) {
  runCases({
      {"letters as coordinate", geometry(tetraWithVertexText("<y>0.01</y>", "<y>one</y>")), {}, 1, nullptr,
       "invalid stold argument in <y> of vertex 3 of object \"electrode1\" in scene.amf", Output::NONE},
      {"coordinate out of range", geometry(tetraWithVertexText("<x>0.01</x>", "<x>1e999</x>")), {}, 1, nullptr,
       "stold argument out of range in <x> of vertex 2", Output::NONE},
      {"NaN coordinate", geometry(tetraWithVertexText("<z>0.01</z>", "<z>nan</z>")), {}, 1, nullptr,
       "\"nan\" is not a finite number in <z> of vertex 4 of object \"electrode1\" in scene.amf", Output::NONE},
      {"infinite coordinate", geometry(tetraWithVertexText("<x>0.01</x>", "<x>-inf</x>")), {}, 1, nullptr,
       "\"-inf\" is not a finite number in <x> of vertex 2", Output::NONE},
      {"empty triangle index", geometry(tetraWithTriangle("0", "")), {}, 1, nullptr,
       "invalid stoi argument in <v2> of triangle 5", Output::NONE},
      {"triangle index out of range", geometry(tetraWithTriangle("99999999999", "1")), {}, 1, nullptr,
       "stoi argument out of range in <v1> of triangle 5", Output::NONE},
      // 4194304^3 nodes wrap a 64-bit size to 0: must fail before any allocation.
      {"2^22 nodes per axis", {}, {{1, "4194304"}, {2, "4194304"}, {3, "4194304"}}, 1, nullptr, "out of memory",
       Output::NONE},
  }, "numbers");
}

TEST(BadInputs, OutputThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
  runCases({
      {"output folder is a file", {{{"blocker", "not a folder"}}, {}, {}}, {{25, "blocker/run_"}}, 0,
       "Simulation took", "Could not open blocker/run_output_O_50.csv//..//vti//00050.vti", Output::NONE},
  }, "output");

  // A density file on a full disk: one report, and the step's other files are whole.
  BadInput c{"full disk", {{}, {"vti"}, {{"output_O_50.csv", "/dev/full"}}}, {}, 0, "Simulation took",
             "Could not write output_O_50.csv", Output::WRITTEN};
  const fs::path dir = preparedFolder("full_disk", c.prepared);
  const ProgramResult r = runProgram(PLASMABOX_BINARY, commandLine(c), dir.string(), "/dev/null", CASE_TIME_LIMIT);
  checkRun(c, r);
  EXPECT_EQ(r.err.find("Could not"), r.err.rfind("Could not")) << r.err;
  EXPECT_EQ(readWholeFile((dir / "output_e_50.csv").string()).rfind("x,y,z,data\n", 0), 0u);
  EXPECT_TRUE(contains(readWholeFile((dir / "vti/00050.vti").string()), "</VTKFile>\n"));
  EXPECT_TRUE(fs::exists(dir / "output_O_100.csv"));
  fs::remove_all(dir);
}

TEST(BadInputs, StandardInputThatIsClosedOrOddDoesNotStopTheRun) {
  // Every other case runs with an empty standard input (/dev/null).
  runCases({{"a folder as standard input", geometry(amf(GOOD_OBJECT)), {}, 0,
             "Press the enter key once the confirmation is complete", nullptr, Output::WRITTEN, "/"}}, "stdin");

  // Descriptor 0 closed altogether (not even /dev/null), by the shell before exec.
  BadInput c{"closed standard input", geometry(amf(GOOD_OBJECT)), {}, 0, "Simulation took", nullptr, Output::WRITTEN};
  const fs::path dir = preparedFolder("closed_stdin", c.prepared);
  std::vector<std::string> args = {"-c", "exec \"$0\" \"$@\" <&-", PLASMABOX_BINARY};
  for (const std::string& a : commandLine(c)) args.push_back(a);
  checkRun(c, runProgram("/bin/sh", args, dir.string(), "/dev/null", CASE_TIME_LIMIT));
  EXPECT_TRUE(fs::exists(dir / "output_O_100.csv"));
  fs::remove_all(dir);
}

}  // namespace
