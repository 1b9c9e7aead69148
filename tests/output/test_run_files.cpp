// The files a run writes, as families of names: the same names the writers
// compose, and a path matched against them as a file, not as a string.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "output/imagePieces.h"
#include "output/particleSnapshot.h"
#include "output/runFiles.h"
#include "output/runOutput.h"
#include "output/stepOutput.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

// The family whose use starts with use.
const WrittenFiles& familyOf(const std::vector<WrittenFiles>& files, const std::string& use) {
  for (const WrittenFiles& f : files)
    if (f.use.rfind(use, 0) == 0) return f;
  throw std::runtime_error("no family " + use);
}

TEST(RunFiles, NamesAreThoseTheWritersCompose) {
  OutputSettings s;
  s.particles_every = 3;
  s.series = true;
  for (const std::string prefix : {"", "run/a_", "/data/run/", "x/../y/"}) {
    SCOPED_TRACE(prefix);
    for (const bool parallel : {false, true}) {
      s.vtk_parallel = parallel;
      const std::vector<WrittenFiles> files = runOutputFiles(s, prefix, 7, 200000, {"O+", "e-"}, 3);
      for (const int64_t ts : {0, 7, 140, 99999, 100002}) {
        const std::string o_file = prefix + "output_O_" + std::to_string(ts) + ".csv";
        const std::string vti = vtkFileName(o_file, static_cast<int32_t>(ts));
        EXPECT_EQ(writtenFileName(familyOf(files, "the ion density"), ts), o_file);
        EXPECT_EQ(writtenFileName(familyOf(files, "the electron density"), ts),
                  prefix + "output_e_" + std::to_string(ts) + ".csv");
        if (parallel) {
          EXPECT_EQ(writtenFileName(familyOf(files, "the VTK index"), ts), pieceIndexName(vti));
          EXPECT_EQ(writtenFileName(familyOf(files, "the VTK piece 2"), ts), pieceFileName(pieceIndexName(vti), 2));
        } else {
          EXPECT_EQ(writtenFileName(familyOf(files, "the VTK image"), ts), vti);
        }
        const std::string folder = fs::path(vti).parent_path().string();
        EXPECT_EQ(writtenFileName(familyOf(files, "the e- particle file"), ts),
                  particleFileName(folder, static_cast<int32_t>(ts), "e-"));
      }
      EXPECT_EQ(writtenFileName(familyOf(files, "the series file"), 0), seriesFileName(prefix));
      EXPECT_EQ(writtenFileName(familyOf(files, "the series file's temporary copy"), 0),
                seriesFileName(prefix) + ".tmp");
    }
  }
}

TEST(RunFiles, APathIsMatchedAsAFileAgainstEveryStepsNames) {
  const TempFolder dir("run_files");
  const std::string at = dir.path.string() + "/";
  fs::create_directories(dir.path / "sub");
  fs::create_directories(dir.path / "vti");
  dir.write("output_e_0.csv", "x,y,z,data\n");                                // a file of an earlier run
  fs::create_hard_link(dir.path / "output_e_0.csv", dir.path / "hard.csv");
  fs::create_symlink("output_O_20.csv", dir.path / "link.csv");               // its target is not there yet
  fs::create_symlink("../mine.csv", dir.path / "vti" / "00080.vti");         // writing the image writes mine.csv
  OutputSettings s;
  s.particles_every = 30;
  s.series = true;
  const std::vector<WrittenFiles> files = runOutputFiles(s, at, -20, 100, {"O+", "e-"}, 1);
  const std::pair<const char*, const char*> cases[] = {
      {"output_O_40.csv", "the ion density CSV file of step 40 ("},
      {"output_e_100.csv", "the electron density CSV file of step 100 ("},
      {"output_O_50.csv", ""},   // not an output step
      {"output_O_120.csv", ""},  // past the last step
      {"output_O_040.csv", ""},  // not the writer's spelling of 40
      {"output_O_.csv", ""},
      {"vti/00060.vti", "the VTK image of step 60 ("},
      {"vti/60.vti", ""},
      {"vti/00090.O+.vtp", "the O+ particle file of step 90 ("},
      {"vti/00100.e-.vtp", ""},  // 100 is no multiple of 30
      {"series.pvd", "the series file ("},
      {"series.pvd.tmp", "the series file's temporary copy ("},
      {"history.csv", ""},
      {"sub/../output_O_0.csv", "the ion density CSV file of step 0 ("},
      {"sub/./../vti/../vti/00000.vti", "the VTK image of step 0 ("},
      {"link.csv", "the ion density CSV file of step 20 ("},
      {"hard.csv", "the electron density CSV file of step 0 ("},
      {"mine.csv", "the VTK image of step 80 ("},
      {"sub", ""},
  };
  for (const auto& [path, expected] : cases) {
    const std::string found = writtenFileAt(files, at + path);
    EXPECT_EQ(found.substr(0, std::string(expected).size()), expected) << path << ": " << found;
    EXPECT_EQ(found.empty(), *expected == '\0') << path << ": " << found;
  }
  // The working folder: a relative path and an absolute one lead to the same file.
  const fs::path here = fs::current_path();
  fs::current_path(dir.path / "sub");
  const std::string found = writtenFileAt(runOutputFiles(s, "../", 20, 100, {"O+", "e-"}, 1), at + "output_e_60.csv");
  fs::current_path(here);
  EXPECT_EQ(found, "the electron density CSV file of step 60 (../output_e_60.csv)");
}

}  // namespace
