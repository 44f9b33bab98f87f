#include "engine/run/run_sequence.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/run/golden.h"

namespace fs = std::filesystem;

namespace mondrake {
namespace {

using testing::check_golden;
using testing::read_file;
using testing::run_in_copy;
using testing::source_path;

const fs::path kNormal = source_path("engine/run/testdata/normal-end");

// A copy of the normal run's input, changed by `edit`, run in a fresh folder.
template <class Edit>
testing::RunOutcome run_edited(Edit edit) {
  char tmpl[] = "/tmp/mondrake-case-XXXXXX";
  fs::path dir = mkdtemp(tmpl);
  fs::copy(kNormal / "input", dir, fs::copy_options::recursive);
  edit(dir);
  testing::RunOutcome r = run_in_copy(dir);
  fs::remove_all(dir);
  return r;
}

void write(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

TEST(RunSequence, NormalEndGolden) { check_golden(kNormal); }

TEST(RunSequence, ControlFileOfSevenLinesIsARunFailureBeforeTheLog) {
  auto r = run_edited([](const fs::path& d) {
    write(d / "VELTRASOM.INP", "a\nb\nc\nd\ne\nf\ng\n");
  });
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "mondrake: control file VELTRASOM.INP has 7 lines; it needs 8\r\n");
  EXPECT_EQ(read_file(r.dir / "VELTRASOM.ERR"), "1\r\n");
  EXPECT_FALSE(fs::exists(r.dir / "run.log"));
  EXPECT_TRUE(fs::exists(r.dir / "VELTRASOM_OBS.csv"));
  fs::remove_all(r.dir);
}

TEST(RunSequence, MissingControlFile) {
  auto r = run_edited([](const fs::path& d) {
    fs::remove(d / "VELTRASOM.INP");
    write(d / "VELTRASOM.ERR", "0\r\n");  // a stale marker is overwritten first
  });
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "mondrake: cannot open input file VELTRASOM.INP: No such file or directory\r\n");
  EXPECT_EQ(read_file(r.dir / "VELTRASOM.ERR"), "1\r\n");
  fs::remove_all(r.dir);
}

TEST(RunSequence, MissingInputFileIsReportedOnTheConsoleAndInTheLog) {
  auto r = run_edited([](const fs::path& d) { fs::remove(d / "VELTRASOM_EONE.csv"); });
  const std::string report =
      "mondrake: cannot open input file VELTRASOM_EONE.csv: No such file or directory\r\n";
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, report);
  EXPECT_EQ(read_file(r.dir / "VELTRASOM.ERR"), "1\r\n");
  std::string log = read_file(r.dir / "run.log");
  ASSERT_GE(log.size(), report.size() + 2);
  EXPECT_EQ(log.substr(log.size() - report.size() - 2), "\r\n" + report);
  // The log stops at the E1 file's echo; the files stay for the front end.
  EXPECT_NE(log.find("Name of file with E1 (EONE)"), std::string::npos);
  EXPECT_EQ(log.find("Name of file with sampling Correlation"), std::string::npos);
  EXPECT_TRUE(fs::exists(r.dir / "VELTRASOM_OBS.csv"));
  fs::remove_all(r.dir);
}

TEST(RunSequence, BlankLogNameIsARunFailure) {
  auto r = run_edited([](const fs::path& d) {
    write(d / "VELTRASOM.INP", "d\n2\n3\n4\n5\n6\n7\n   \n");
  });
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "mondrake: line 8 of the control file VELTRASOM.INP names no log file\r\n");
  EXPECT_EQ(read_file(r.dir / "VELTRASOM.ERR"), "1\r\n");
  fs::remove_all(r.dir);
}

TEST(RunSequence, ControlNamesArePaddedTo200AndLongerNamesKeptWhole) {
  EXPECT_EQ(control_name("abc"), "abc" + std::string(197, ' '));
  EXPECT_EQ(control_name(std::string(200, 'x')), std::string(200, 'x'));
  EXPECT_EQ(control_name(std::string(201, 'x')), std::string(201, 'x'));
  // A name with commas and blanks goes through unchanged, however long.
  std::string long_name = "/data/a, b/" + std::string(250, 'r') + ".xlsx";
  auto r = run_edited([&](const fs::path& d) {
    write(d / "VELTRASOM.INP", "d\n2\n3\n4\n5\n6\n" + long_name + "\nrun.log\n");
  });
  std::string out = read_file(r.dir / "VELTRASOM_OUT.csv");
  EXPECT_NE(out.find("Results Output file : ," + long_name + std::string(5000 - 23 - long_name.size(), ' ') + "\r\n"), std::string::npos);
  std::string log = read_file(r.dir / "run.log");
  EXPECT_NE(log.find("\r\n     " + long_name.substr(0, 70) + "\r\n"), std::string::npos);
  EXPECT_NE(log.find("\r\n " + long_name + "\r\n"), std::string::npos);
  fs::remove_all(r.dir);
}

}  // namespace
}  // namespace mondrake

namespace mondrake {
namespace {

// The bundled example assessment, run whole: its log, results and console
// are kept as a golden run.
TEST(RunSequence, ExampleAssessmentGolden) {
  testing::check_golden(testing::source_path("engine/run/testdata/example"),
                        testing::source_path("examples/river-invertebrates"));
}

}  // namespace
}  // namespace mondrake
