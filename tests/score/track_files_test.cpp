#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <list>
#include <random>

#include "platform/files.h"
#include "score/track_files.h"
#include "scripted_host.h"
#include "temp_folder.h"

namespace vellumix {
namespace {

CItem Item(std::initializer_list<float> values, std::string text = {}) {
  CItem item;
  for (float v : values) item.values.Append(v);
  item.text = std::move(text);
  return item;
}

std::string Contents(const std::string& path) {
  auto bytes = files::ReadAll(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

TEST(TrackFiles, LineFormat) {
  // A note: P1 P2 P3 P4 P5 P7 P11 P12 P13, the staff number left out.
  EXPECT_EQ(FormatTrackLine(Item({1, 2, 23.5f, 7, 0, 1, 0, 0, 0}), false, false),
            "1.0000 23.5000 7.0000 0.0000 1.0000 0.0000 0.0000 0.0000 \r\n");
  EXPECT_EQ(FormatTrackLine(Item({9, 1, -2, 0.001f}), false, false), "9.0000 -2.0000 0.0010 \r\n");
  EXPECT_EQ(FormatTrackLine(Item({16, 1, 10, 5}, "dolce"), false, false),
            "16.0000 10.0000 5.0000 dolce\r\n");
  // A barline extended with its bar values: P3 P5 length numerator denominator, then the flag.
  EXPECT_EQ(FormatTrackLine(Item({62, 2, 0, 3, 3, 2}), true, true),
            "62.0000 0.0000 3.0000 3.0000 2.0000 1.0000\r\n");
  EXPECT_EQ(FormatTrackLine(Item({106, 2, 0, 0, 3, 2}), true, false),
            "106.0000 0.0000 0.0000 3.0000 2.0000 0.0000\r\n");
  EXPECT_EQ(TrackFileName("/lib/", 0), "/lib/VLMIX0.TMP");
  EXPECT_EQ(TrackFileName("/lib/", 349), "/lib/VLMIX349.TMP");
  EXPECT_EQ(TrackFileName("/lib/", 350), "/lib/TEMPO.TMP");
  // Read back from a folder listing: exactly the names written, nothing else.
  for (int n : {0, 7, 349, 350}) EXPECT_EQ(TrackFileNumber(TrackFileName("", n)), n);
  for (const char* other : {"VLMIX007.TMP", "VLMIX350.TMP", "vlmix1.tmp", "VLMIX.TMP",
                            "VLMIX1x.TMP", "VLMIX1.TMP.bak", "VLMIXMID.TMP", "tempo.tmp"})
    EXPECT_EQ(TrackFileNumber(other), -1) << other;
}

std::string ByToChars(float value) {
  char buf[64];
  auto r =
      std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::fixed, 4);
  return std::string(buf, r.ptr) + " ";
}

TEST(TrackFiles, FixedFourDigitsAsToChars) {
  std::vector<float> values{0.0f,      -0.0f,    -0.00001f, 0.00005f,     1e-30f,   0.03125f,
                            -0.09375f, 0.15625f, 2.00005f,  99999.99995f, 9.99e10f, 1.1e11f,
                            3e38f,     -3e38f,   1e15f,     123456789.0f};
  for (int k = 1; k < 2000; k += 2) values.push_back(k / 32.0f);  // exact ties
  std::mt19937 random(12345);
  for (int i = 0; i < 300000; ++i) {
    const float v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (std::isfinite(v)) values.push_back(v);
    values.push_back(static_cast<float>(static_cast<int>(random() % 4000000) - 2000000) / 8192.0f);
  }
  for (float v : values) {
    std::string line;
    AppendFixed4(line, v);
    ASSERT_EQ(line, ByToChars(v)) << std::bit_cast<std::uint32_t>(v);
  }
}

TEST(TrackFiles, SystemsAppendAndListsEmpty) {
  test::TempFolder dir;
  test::ScriptedHost host;
  TrackFileWriter writer(host);
  writer.SetFolder(dir.slashed());

  std::list<CItem> empty;
  EXPECT_TRUE(writer.WriteTrackFile(empty, 3, 1, false));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "VLMIX3.TMP"));
  EXPECT_FALSE(writer.Written(3));

  // Two systems of instrument 3; the staff item is left out without the stave transposition.
  std::list<CItem> first{Item({8, 1, 0, 3, 0}), Item({1, 1, 20, 5, 0, 1, 0, 0, 0})};
  std::list<CItem> second{Item({2, 1, 30, 1, 0})};
  ASSERT_TRUE(writer.WriteTrackFile(first, 3, 1, false));
  EXPECT_TRUE(first.empty());
  ASSERT_TRUE(writer.WriteTrackFile(second, 3, 2, false));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(Contents(dir.slashed() + "VLMIX3.TMP"),
            "1.0000 20.0000 5.0000 0.0000 1.0000 0.0000 0.0000 0.0000 \r\n"
            "2.0000 30.0000 1.0000 0.0000 \r\n");
  EXPECT_TRUE(writer.Written(3));
  ASSERT_EQ(host.statuses.size(), 2u);
  EXPECT_EQ(host.statuses[1].text, "Writing to file " + dir.slashed() + "VLMIX3.TMP, system 2");

  // The tempo file keeps the list, for the instrument file written next.
  std::list<CItem> top{Item({8, 2, 0, 1, -2}), Item({16, 2, 10, 5}, "dolce")};
  ASSERT_TRUE(writer.WriteTrackFile(top, kTempoFileNumber, 2, true));
  EXPECT_EQ(top.size(), 2u);
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(Contents(dir.slashed() + "TEMPO.TMP"),
            "8.0000 0.0000 1.0000 -2.0000 \r\n16.0000 10.0000 5.0000 dolce\r\n");

  // Two systems of three bars: six lines, the first of each system flagged.
  for (int system = 1; system <= 2; ++system) {
    std::list<CItem> bars{Item({60, 2, 0, 3, 3, 2}), Item({120, 2, 0, 3, 3, 2}),
                          Item({180, 2, 2, 3, 3, 2})};
    ASSERT_TRUE(writer.WriteTrackFile(bars, kBarFileNumber, system, false));
  }
  ASSERT_TRUE(writer.Close());
  auto lines = files::SplitLines(Contents(dir.slashed() + "VLMIX0.TMP"));
  ASSERT_EQ(lines.size(), 6u);
  for (std::size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i].substr(lines[i].size() - 6), (i == 0 || i == 3) ? "1.0000" : "0.0000");

  std::list<CItem> filler{Item({2, 1, 18, 0, 0}), Item({2, 1, 61, 3, 0})};
  ASSERT_TRUE(writer.WriteFillerFile(filler, 5));
  EXPECT_TRUE(filler.empty());
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(Contents(dir.slashed() + "VLMIX5.TMP"),
            "2.0000 18.0000 0.0000 0.0000 \r\n2.0000 61.0000 3.0000 0.0000 \r\n");
}

// What the run keeps of its files reads as the files do, and only while it can be.
TEST(TrackFiles, KeptLinesReadAsTheFiles) {
  test::TempFolder dir;
  test::ScriptedHost host;
  TrackFileWriter writer(host);
  writer.SetFolder(dir.slashed());
  writer.KeepLines(true);
  ASSERT_TRUE(files::WriteAtomic(dir.path() / "VLMIX2.TMP", std::string_view("left over\r\n")));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::list<CItem> notes{Item({1, 1, 20, 5, 0, 1, 0, 0, 0}), Item({16, 1, 30, 5}, " two  words"),
                         Item({16, 1, 30}, "7 x"), Item({2, 1, -3, 0.00005f, 0.00015f, -0.0f}),
                         Item({5, 1, nan, 1e20f, -3e38f, 1e-7f, 123456.78f}), Item({}),
                         Item({16.00001f, 1, 4, 5, 6}), Item({3, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                                              11, 12, 13, 14})},
      old{Item({2, 1, 30, 1, 0})}, split{Item({16, 1, 30, 5}, "a\nb")};
  ASSERT_TRUE(writer.WriteTrackFile(notes, 3, 1, false));
  ASSERT_TRUE(writer.WriteTrackFile(old, 2, 1, false));
  ASSERT_TRUE(writer.WriteTrackFile(split, 4, 1, false));
  ASSERT_TRUE(writer.Close());
  const auto lines = files::SplitLines(Contents(dir.slashed() + "VLMIX3.TMP"));
  const StoredTrackLines* kept = writer.Stored(3);
  ASSERT_NE(kept, nullptr);
  ASSERT_EQ(kept->Size(), lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    TrackLine line;
    kept->Get(i, line);
    const TrackLine read = ParseTrackLine(lines[i]);
    EXPECT_EQ(line.count, read.count);
    EXPECT_EQ(line.fields, read.fields);
    EXPECT_EQ(line.text, read.text);
  }
  EXPECT_EQ(writer.Stored(2), nullptr);  // it held an earlier run's lines
  EXPECT_EQ(writer.Stored(4), nullptr);  // a line feed in a text makes two lines of one
  EXPECT_EQ(writer.Stored(5), nullptr);  // never written
  writer.ClearWritten();
  EXPECT_EQ(writer.Stored(3), nullptr);
  writer.ReleaseStored();
  std::list<CItem> again{Item({2, 1, 30, 1, 0})};
  ASSERT_TRUE(writer.WriteTrackFile(again, 6, 1, false));
  EXPECT_EQ(writer.Stored(6), nullptr);  // only a run that asks keeps lines
}

TEST(TrackFiles, FailureAndCancelKeepTheList) {
  test::TempFolder dir;
  test::ScriptedHost host;
  TrackFileWriter writer(host);
  writer.SetFolder(dir.slashed() + "missing/");
  std::list<CItem> list{Item({2, 1, 30, 1, 0})};
  EXPECT_FALSE(writer.WriteTrackFile(list, 4, 1, false));
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotWriteBecause});
  EXPECT_EQ(list.size(), 1u);

  writer.SetFolder(dir.slashed());
  host.cancelAtReport = 1;
  EXPECT_FALSE(writer.WriteTrackFile(list, 4, 1, false));
  EXPECT_EQ(host.MessageIds(), std::vector<int>{res::kCannotWriteBecause});  // a cancel shows nothing
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(Contents(dir.slashed() + "VLMIX4.TMP"), "");
}

}  // namespace
}  // namespace vellumix

namespace vellumix {
namespace {

TEST(CFloatArray, GrowsWithZerosPastItsInlineValues) {
  CFloatArray a;
  a.Append(1);
  a.Set(3, 4);
  a.Set(20, 21);
  a.Set(15, 16);
  EXPECT_EQ(a.Size(), 21u);
  for (std::size_t i = 0; i < 22; ++i) {
    const float expected = i == 0 ? 1 : i == 3 ? 4 : i == 15 ? 16 : i == 20 ? 21 : 0;
    EXPECT_EQ(a.Get(i), expected) << i;
  }
}

}  // namespace
}  // namespace vellumix
