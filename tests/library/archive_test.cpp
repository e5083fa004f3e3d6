#include "library/archive.h"

#include <gtest/gtest.h>

#include "scratch.h"

namespace vellumix {
namespace {

using test::Bytes;
using test::ByteVector;
using test::Concat;
using test::Hex;

ByteVector Encoded(std::string_view s) {
  ArchiveWriter w;
  w.WriteString(s);
  return w.Take();
}

ByteVector Prefix(const ByteVector& b, std::size_t n) {
  return ByteVector(b.begin(), b.begin() + n);
}

TEST(Archive, NumbersAreLittleEndian) {
  ArchiveWriter w;
  w.WriteInt32(310);
  w.WriteInt32(-5);
  w.WriteFloat(0.1f);
  EXPECT_EQ(w.Bytes(), Hex("36010000 FBFFFFFF CDCCCC3D"));

  ArchiveReader r(w.Bytes());
  std::int32_t a = 0, b = 0;
  float f = 0;
  ASSERT_TRUE(r.ReadInt32(a) && r.ReadInt32(b) && r.ReadFloat(f));
  EXPECT_EQ(a, 310);
  EXPECT_EQ(b, -5);
  EXPECT_EQ(f, 0.1f);
  EXPECT_EQ(r.Remaining(), 0u);
  EXPECT_FALSE(r.ReadInt32(a));
  EXPECT_EQ(a, 310);  // untouched by the failed read
}

TEST(Archive, StringLengthPrefixForms) {
  struct Case {
    std::size_t length;
    ByteVector prefix;
  };
  const Case cases[] = {
      {0, Hex("00")},
      {254, Hex("FE")},
      {255, Hex("FF FF00")},
      {300, Hex("FF 2C01")},  // a 300-character stave name
      {0xFFFD, Hex("FF FDFF")},
      // 0xFFFE as a 16-bit length would read back as the wide-form marker.
      {0xFFFE, Hex("FF FFFF FEFF0000")},
      {0x12345, Hex("FF FFFF 45230100")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    std::string text(c.length, 'x');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    ByteVector bytes = Encoded(text);
    EXPECT_EQ(bytes, Concat({c.prefix, Bytes(text)}));
    ArchiveReader r(bytes);
    std::string back;
    ASSERT_TRUE(r.ReadString(back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(r.Remaining(), 0u);
  }
  // 8-bit characters are stored as they are.
  EXPECT_EQ(Encoded("\xE9t\xE9"), Hex("03 E974E9"));
}

TEST(Archive, WideStringsAreConvertedToWindows1252) {
  // "A", e-acute, euro sign, a CJK character, a surrogate pair, a lone surrogate, U+0081.
  ByteVector wide = Hex("FF FEFF 08 4100 E900 AC20 2D4E 3DD8 00DE 00DC 8100");
  wide.push_back(0x42);  // the next value
  ArchiveReader r(wide);
  std::string s;
  ASSERT_TRUE(r.ReadString(s));
  EXPECT_EQ(s, "A\xE9\x80??\?\x81");
  EXPECT_EQ(r.Remaining(), 1u);

  // A wide string with a 16-bit length: the length starts over after the marker.
  ByteVector longWide = Hex("FF FEFF FF 0001");
  for (int i = 0; i < 256; ++i) longWide.insert(longWide.end(), {0x7A, 0x00});
  ArchiveReader r2(longWide);
  ASSERT_TRUE(r2.ReadString(s));
  EXPECT_EQ(s, std::string(256, 'z'));
  EXPECT_EQ(r2.Remaining(), 0u);
}

TEST(Archive, LengthsThatRunPastTheEndAreRefused) {
  const ByteVector refused[] = {
      Hex(""),
      Hex("05 616263"),                             // 5 claimed, 3 there
      Hex("FF"),                                    // prefix cut short
      Hex("FF 2C"),                                 //
      Hex("FF 2C01"),                               // 300 claimed, none there
      Hex("FF FFFF 000000"),                        // 32-bit length cut short
      Hex("FF FFFF FFFFFF7F 41"),                   // 2 GiB claimed: refused before allocating
      Hex("FF FFFF FFFFFFFF 0100000000000000 41"),  // 64-bit length form
      Hex("FF FEFF 02 4100"),                       // wide: 2 characters claimed, 1 there
      Hex("FF FEFF FF"),                            // wide: length cut short
      Hex("FF FEFF FF FFFF FFFFFF7F"),              // wide: 2^31 characters claimed
  };
  for (const auto& bytes : refused) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    ArchiveReader r(bytes);
    std::string s = "kept";
    EXPECT_FALSE(r.ReadString(s));
    EXPECT_EQ(s, "kept");
    EXPECT_EQ(r.Position(), 0u);
  }
  // A refused string leaves the reader where it was: the bytes can still be read as numbers.
  const ByteVector nine = Hex("09 000000 01");
  ArchiveReader r(nine);
  std::string s;
  std::int32_t v = 0;
  EXPECT_FALSE(r.ReadString(s));
  EXPECT_TRUE(r.ReadInt32(v));
  EXPECT_EQ(v, 9);

  // Every prefix of a good string is refused.
  ByteVector good = Encoded(std::string(300, 'q'));
  for (std::size_t n = 0; n < good.size(); ++n) {
    ByteVector cut = Prefix(good, n);
    ArchiveReader rc(cut);
    EXPECT_FALSE(rc.ReadString(s)) << n;
  }
}

}  // namespace
}  // namespace vellumix
