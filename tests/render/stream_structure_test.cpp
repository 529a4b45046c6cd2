// The structure check of the test tokenizer, and every golden stream held to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/pcl_notation.h"

namespace rendertest {
namespace {

namespace fs = std::filesystem;
using testsupport::Pcl;
using testsupport::StructureFaults;
using Faults = std::vector<std::string>;

TEST(StreamStructure, CombinedEscapesStayInOneGroup) {
  EXPECT_EQ(StructureFaults(Pcl("\\e&l9c1E\\e&k23H\\e&a1L\\e*p0x118Y\\e(s1p12v0s3b4148T")), Faults{});
  EXPECT_EQ(StructureFaults(Pcl("\\e&l9c&l1E")), Faults{"group change inside a combined escape: \\e&l9c&l1E"});
  EXPECT_EQ(StructureFaults(Pcl("\\e&k23h&a1L")), Faults{"group change inside a combined escape: \\e&k23h&a1L"});
  EXPECT_EQ(StructureFaults(Pcl("\\e&l1")), Faults{"escape cut off at the end of the stream: \\e&l1"});
  EXPECT_EQ(StructureFaults(Pcl("\\e&l1\\f")), Faults{"malformed escape: \\e&l1\\f"});
}

TEST(StreamStructure, DataOfACommandIsNotReadAsCommands) {
  // The media name and the raster row hold bytes that would otherwise read as escapes.
  EXPECT_EQ(StructureFaults(Pcl("\\e&n6WdPLAIN\\e*b4W\\e&a&\\e*rB")), Faults{});
  EXPECT_EQ(StructureFaults(Pcl("\\e*b9Wab")), Faults{"data of \\e*b9W runs past the end"});
}

TEST(StreamStructure, ExitSequencesOnlyAtBothEndsAndPjlLinesWhole) {
  const std::string exit = Pcl("\\e%-12345X");
  auto job = [&](const std::string& name) {
    return exit + "@PJL JOB NAME=\"" + name + Pcl("\"\\r\\n@PJL ENTER LANGUAGE=PCL\\r\\n\\eE\\f") + exit;
  };
  EXPECT_EQ(StructureFaults(job("report")), Faults{});
  EXPECT_EQ(StructureFaults(Pcl("\\e&l0O<page>\\e%1A\\e&l1X\\f")), Faults{});  // a fragment without framing
  EXPECT_EQ(StructureFaults(job("a\"b")), Faults{"quote left open in a PJL line: @PJL JOB NAME=\"a\"b\""});
  EXPECT_EQ(StructureFaults(job(Pcl("a\"\\r\\n@PJL RDYMSG DISPLAY=\"X\"\\r\\n\\e%-12345X"))),
            (Faults{"exit sequences at 3 places; a job has one at each end and no other",
                    "PJL header line without @PJL: \\e%-12345X\""}));
  EXPECT_EQ(StructureFaults(job("a\tb")), Faults{"control byte in a PJL line: @PJL JOB NAME=\"a\\x09b\""});
}

TEST(StreamStructure, RasterPicturesAreOpenedClosedAndTheirRowsWhole) {
  using testsupport::StructureProblems;
  auto bytes = [](std::initializer_list<int> b) {
    std::string s;
    for (int c : b) s += static_cast<char>(c);
    return s;
  };
  auto row = [](const std::string& data) { return Pcl("\\e*b") + std::to_string(data.size()) + "W" + data; };
  const std::string start = Pcl("\\e*p0x0Y\\e*r16s2t1A"), end = Pcl("\\e*rC");
  // Methods 0, 2 and 3, rows up to the picture's row padded to four bytes.
  const std::string sound = start + Pcl("\\e*b0M") + row("abcd") + Pcl("\\e*b2M") + row(bytes({0xFD, 0})) +
                            Pcl("\\e*b3M") + row(bytes({0x01, 7})) + row("") + end;
  EXPECT_EQ(StructureProblems(sound), Faults{});
  EXPECT_EQ(StructureProblems(Pcl("\\e*rC")), Faults{}) << "ending no picture is harmless";
  EXPECT_EQ(StructureProblems(start).size(), 1u) << "left open";
  EXPECT_EQ(StructureProblems(start + start + end).size(), 1u) << "nested";
  EXPECT_EQ(StructureProblems(row("ab")).size(), 1u) << "a row outside a picture";
  EXPECT_EQ(StructureProblems(start + Pcl("\\e%0B\\e%0A") + end).size(), 1u) << "HP-GL/2 inside";
  EXPECT_EQ(StructureProblems(start + row("abcde") + end).size(), 1u) << "raw row past 4 bytes";
  EXPECT_EQ(StructureProblems(start + Pcl("\\e*b2M") + row(bytes({0xFA, 1})) + end).size(), 1u) << "run past the row";
  EXPECT_EQ(StructureProblems(start + Pcl("\\e*b2M") + row(bytes({3, 1, 2})) + end).size(), 1u) << "literal cut";
  EXPECT_EQ(StructureProblems(start + Pcl("\\e*b2M") + row(bytes({0xFE})) + end).size(), 1u) << "run without byte";
  EXPECT_EQ(StructureProblems(start + Pcl("\\e*b3M") + row(bytes({0x1F, 0xFF})) + end).size(), 1u) << "offset cut";
  EXPECT_EQ(StructureProblems(start + Pcl("\\e*b3M") + row(bytes({0x23, 1, 2})) + end).size(), 1u)
      << "replacement past the row";
  EXPECT_EQ(StructureProblems(start + Pcl("\\e*b5M") + row("a") + end).size(), 1u) << "unknown method";
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(StreamStructure, EveryGoldenStreamIsSound) {
  std::vector<fs::path> streams;
  for (const auto& e : fs::directory_iterator(GOLDEN_DIR)) {
    if (e.path().extension() == ".prn") streams.push_back(e.path());
  }
  std::sort(streams.begin(), streams.end());
  ASSERT_GE(streams.size(), 5u);
  for (const fs::path& p : streams) {
    SCOPED_TRACE(p.filename().string());
    const std::string stream = ReadFile(p);
    EXPECT_EQ(StructureFaults(stream), Faults{});
  }
}

}  // namespace
}  // namespace rendertest
