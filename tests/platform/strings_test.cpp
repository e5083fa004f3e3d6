#include <gtest/gtest.h>

#include "platform/host.h"
#include "res/strings.h"
#include "scripted_host.h"

namespace vellumix {
namespace {

TEST(Strings, NumberedTextsAndFormatting) {
  EXPECT_EQ(res::Text(9), "Unable to open file %s for reading");
  EXPECT_EQ(res::Text(44),
            "More than one  time signature was found in bar %d of file group %s.  Please enter "
            "the correct time signature below.");
  EXPECT_EQ(res::Text(11), "");
  EXPECT_EQ(res::Format(55, {std::int64_t{5}, std::int64_t{8}, std::int64_t{3}, std::int64_t{2},
                             std::string_view("PIECE1.PAG")}),
            "Unsupported time signature 5/8 in bar 3 of staff 2 in file group PIECE1.PAG. Please "
            "enter a legitimate time signature below.");
  EXPECT_EQ(res::Format(15, {std::int64_t{3}, std::int64_t{7}}), "mins 03 : 07 secs");
  EXPECT_EQ(res::FormatText("100%% of %s", {std::string_view("x")}), "100% of x");
  // A missing argument leaves the place empty rather than reading beyond the list.
  EXPECT_EQ(res::Format(45), " is not a Score file");
}

TEST(Strings, StatusHelpersCutToTheBufferAndPassTheCancel) {
  test::ScriptedHost host;
  std::string longName(300, 'a');
  EXPECT_TRUE(ReportStatusFormatted(host, res::kReadingFile, longName, 0, false));
  ASSERT_EQ(host.statuses.size(), 1u);
  EXPECT_EQ(host.statuses[0].text.size(), kStatusBufferSize - 1);
  EXPECT_EQ(host.statuses[0].text.substr(0, 13), "Reading file ");

  host.cancelAtReport = 2;
  EXPECT_FALSE(ReportStatusById(host, res::kDone, true));
  EXPECT_EQ(host.statuses[1].text, "Done");
  EXPECT_TRUE(host.statuses[1].clearSecondPane);

  ShowMessage(host, res::kCannotRead, "/x/OPTIONS.DAT");
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].id, 9);
  EXPECT_EQ(host.messages[0].text, "Unable to open file /x/OPTIONS.DAT for reading");
}

}  // namespace
}  // namespace vellumix
