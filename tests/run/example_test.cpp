#include <gtest/gtest.h>

#include "platform/files.h"
#include "run/document.h"
#include "score/pmx.h"
#include "score_builder.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

// The bundled example is written by our builder from its text; the two must not drift apart.
TEST(Example, BinaryMatchesItsSourceAndReads) {
  const std::string dir = std::string(VELLUMIX_SOURCE_DIR) + "/examples/";
  const std::string text = test::ReadText(dir + "minuet.pmx");
  std::string error;
  auto built = test::BuildScoreFile(text, &error);
  ASSERT_TRUE(built) << error;
  auto committed = files::ReadAll(dir + "minuet.mus");
  ASSERT_TRUE(committed);
  EXPECT_EQ(*built, *committed) << "regenerate with vellumix-build-score";

  test::ScriptedHost host;
  std::string dump;
  ASSERT_TRUE(DumpScore(*committed, "minuet.mus", host, dump));
  EXPECT_EQ(dump.substr(dump.find('\n') + 1), text);

  CVellumixDoc doc(host);
  std::string name = dir + "minuet.mus";
  ASSERT_TRUE(doc.score.ReadGroupFiles(name, 1));
  doc.score.FinishGroupRead();
  EXPECT_EQ(name, dir + "minuet.mus");
  EXPECT_EQ(doc.score.BarlineList(1).size(), 4u);
  EXPECT_EQ(doc.score.StaffList(1).size(), 8u);   // staff, clef, key, time, 4 notes
  EXPECT_EQ(doc.score.StaffList(2).size(), 21u);  // staff, clef, key, time, p, 16 notes
  EXPECT_TRUE(host.messages.empty());
}

// The sonatina is written into the build folder when the project builds: what was written is the
// builder's output for the text, it dumps back to items that build the same file, and it reads
// as one system of two piano staves.
TEST(Example, TheSonatinaWrittenAtBuildTimeMatchesItsSourceAndReads) {
  const std::string text =
      test::ReadText(std::string(VELLUMIX_SOURCE_DIR) + "/examples/sonatina.items");
  std::string error;
  auto built = test::BuildScoreFile(text, &error);
  ASSERT_TRUE(built) << error;
  const std::string name = std::string(VELLUMIX_EXAMPLES_DIR) + "/sonatina.mus";
  auto written = files::ReadAll(name);
  ASSERT_TRUE(written) << name;
  EXPECT_EQ(*written, *built);

  test::ScriptedHost host;
  std::string dump;
  ASSERT_TRUE(DumpScore(*written, "sonatina.mus", host, dump));
  auto rebuilt = test::BuildScoreFile(dump, &error);
  ASSERT_TRUE(rebuilt) << error;
  EXPECT_EQ(*rebuilt, *written);
  EXPECT_NE(dump.find("\"_00[ = 96\""), std::string::npos);
  EXPECT_NE(dump.find("\"_02rit.\""), std::string::npos);

  CVellumixDoc doc(host);
  std::string group = name;
  ASSERT_TRUE(doc.score.ReadGroupFiles(group, 1));
  doc.score.FinishGroupRead();
  ASSERT_EQ(doc.score.BarlineList(1).size(), 12u);
  EXPECT_TRUE(doc.score.BarlineList(2).empty());  // the bass staff's barlines span both
  int notes = 0;
  for (int staff = 1; staff <= 2; ++staff)
    for (const auto& item : doc.score.StaffList(staff))
      if (item.values.Get(0) == 1.0f) ++notes;
  EXPECT_EQ(notes, 21 + 39);  // bass, treble (with its grace note)
  EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace vellumix
