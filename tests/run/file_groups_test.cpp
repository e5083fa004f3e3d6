#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "run/file_groups.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

TEST(FileGroups, GroupingRuleOfAddFiles) {
  const std::vector<std::string> names = {"a1.mus", "a2.mus", "b1.mus"};
  EXPECT_EQ(GroupSelectedFiles("/music", names, false),
            (std::vector<std::string>{"/music/a1.mus 2", "/music/b1.mus 1"}));
  EXPECT_EQ(GroupSelectedFiles("/music/", names, true),
            (std::vector<std::string>{"/music/a1.mus 1", "/music/a2.mus 1", "/music/b1.mus 1"}));
  // a3 without a2 is neither a group start nor part of a1's group.
  EXPECT_EQ(GroupSelectedFiles("/m", {"a1.mus", "a3.mus"}, false),
            (std::vector<std::string>{"/m/a1.mus 1"}));
  // A name without "." has no base and is never listed when grouping.
  EXPECT_EQ(GroupSelectedFiles("/m", {"readme", "c1.pag"}, false),
            (std::vector<std::string>{"/m/c1.pag 1"}));
  // Three pages, picked out of order and in mixed case; the names keep their case.
  EXPECT_EQ(GroupSelectedFiles("/m", {"Piece1.PAG", "piece3.pag", "PIECE2.pag"}, false),
            (std::vector<std::string>{"/m/Piece1.PAG 3"}));
  // The rule expects names in the browser's sorted order: a base that does not sort above the
  // previous one is taken for a following page, so b1 given after c1 is no group start.
  EXPECT_EQ(GroupSelectedFiles("/m", {"c1.mus", "b1.mus"}, false),
            (std::vector<std::string>{"/m/c1.mus 1"}));
}

TEST(FileGroups, EntriesSplitAtTheLastSpace) {
  EXPECT_EQ(ParseEntry("/my music/a1.mus 2"), (FileGroupEntry{"/my music/a1.mus", 2}));
  EXPECT_EQ(ParseEntry("/m/a1.mus 12\r"), (FileGroupEntry{"/m/a1.mus", 12}));
  EXPECT_EQ(ParseEntry("/my music/a1.mus"), (FileGroupEntry{"/my music/a1.mus", 1}));
  EXPECT_EQ(ParseEntry("/m/a.mus x2"), (FileGroupEntry{"/m/a.mus x2", 1}));
  EXPECT_EQ(FormatEntry({"/m/a1.mus", 3}), "/m/a1.mus 3");
}

TEST(FileGroups, ListFilesKeepLongLinesWhole) {
  test::TempFolder dir;
  test::ScriptedHost host;
  const std::string longPath(100, 'p');
  const std::string list = (dir.path() / "list.tmp").string();
  ASSERT_TRUE(WriteListFile(list, {longPath + " 1", "/m/a1.mus 2"}, host));
  auto bytes = files::ReadAll(list);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), longPath + " 1\r\n/m/a1.mus 2\r\n");

  std::vector<std::string> entries;
  ASSERT_TRUE(ReadListFile(list, host, entries));
  EXPECT_EQ(entries, (std::vector<std::string>{longPath + " 1", "/m/a1.mus 2"}));

  // LF-only files from other tools read the same; blank lines are no entries.
  std::ofstream(dir.path() / "lf.tmp") << "/m/a1.mus 2\n\n/m/b1.mus 1";
  ASSERT_TRUE(ReadListFile((dir.path() / "lf.tmp").string(), host, entries));
  EXPECT_EQ(entries, (std::vector<std::string>{"/m/a1.mus 2", "/m/b1.mus 1"}));
  EXPECT_TRUE(host.messages.empty());

  // A missing list leaves the kept list as it was.
  EXPECT_FALSE(ReadListFile((dir.path() / "none.tmp").string(), host, entries));
  EXPECT_EQ(entries.size(), 2u);
  ASSERT_EQ(host.MessageIds(), std::vector<int>{9});
  EXPECT_FALSE(WriteListFile((dir.path() / "no/such/list.tmp").string(), {"x 1"}, host));
  EXPECT_EQ(host.MessageIds(), (std::vector<int>{9, res::kCannotWriteBecause}));

  // A group of no file is refused, with the line that names it.
  std::ofstream(dir.path() / "zero.tmp") << "/m/a1.mus 2\n/m/b1.mus 0\n";
  EXPECT_FALSE(ReadListFile((dir.path() / "zero.tmp").string(), host, entries));
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_NE(host.messages.back().text.find("line 2 names a group of 0 files"), std::string::npos);
}

TEST(FileGroups, NameListIsWrittenInTheLibraryFolder) {
  test::TempFolder dir;
  test::ScriptedHost host;
  ASSERT_TRUE(WriteNameList(dir.path().string() + "/", {"/m/a1.mus 2", "/m/b1.mus 1"}, host));
  auto bytes = files::ReadAll(dir.path() / "NAMELIST.TMP");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "/m/a1.mus 2\r\n/m/b1.mus 1\r\n");
}

}  // namespace
}  // namespace vellumix
