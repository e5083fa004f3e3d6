#include "library/archive.h"

#include <cstring>

namespace vellumix {
namespace {

// Unicode code points of Windows-1252 bytes 0x80 to 0x9F; 0 where the code page has no
// character (those five bytes stand for the C1 controls of the same number).
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToWindows1252(std::uint32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
  for (unsigned i = 0; i < 32; ++i) {
    std::uint32_t mapped = kHighControls[i] != 0 ? kHighControls[i] : 0x80 + i;
    if (cp == mapped) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string Utf16ToWindows1252(std::span<const std::uint16_t> units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint16_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      ++i;  // a pair lies beyond the code page: one '?' for the character
      out.push_back('?');
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back('?');
    } else {
      out.push_back(ToWindows1252(u));
    }
  }
  return out;
}

bool ArchiveReader::ReadBytes(void* out, std::size_t n) {
  if (n > Remaining()) return false;
  if (n > 0) std::memcpy(out, data_.data() + pos_, n);
  pos_ += n;
  return true;
}

bool ArchiveReader::ReadInt32(std::int32_t& out) {
  std::uint8_t b[4];
  if (!ReadBytes(b, 4)) return false;
  std::uint32_t v = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
                    std::uint32_t{b[3]} << 24;
  out = static_cast<std::int32_t>(v);
  return true;
}

bool ArchiveReader::ReadFloat(float& out) {
  std::int32_t bits;
  if (!ReadInt32(bits)) return false;
  std::memcpy(&out, &bits, sizeof out);
  return true;
}

bool ArchiveReader::ReadString(std::string& out) {
  const std::size_t start = pos_;
  auto fail = [&] {
    pos_ = start;
    return false;
  };
  auto u8 = [&](std::uint32_t& v) {
    std::uint8_t b;
    if (!ReadBytes(&b, 1)) return false;
    v = b;
    return true;
  };
  auto u16 = [&](std::uint32_t& v) {
    std::uint8_t b[2];
    if (!ReadBytes(b, 2)) return false;
    v = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8;
    return true;
  };

  bool wide = false;
  std::uint32_t length = 0;
  if (!u8(length)) return fail();
  if (length == 0xFF) {
    if (!u16(length)) return fail();
    if (length == 0xFFFE) {
      // The wide form starts the length over; a 16-bit 0xFFFE is then a plain length.
      wide = true;
      if (!u8(length)) return fail();
      if (length == 0xFF && !u16(length)) return fail();
    }
    if (length == 0xFFFF) {
      std::int32_t v;
      if (!ReadInt32(v)) return fail();
      length = static_cast<std::uint32_t>(v);
      // 0xFFFFFFFF announces a 64-bit length: no library file is that large.
      if (length == 0xFFFFFFFF) return fail();
    }
  }

  const std::uint64_t bytes = std::uint64_t{length} * (wide ? 2 : 1);
  if (bytes > Remaining()) return fail();
  const std::uint8_t* p = data_.data() + pos_;
  if (wide) {
    std::vector<std::uint16_t> units(length);
    for (std::uint32_t i = 0; i < length; ++i)
      units[i] = static_cast<std::uint16_t>(p[2 * i] | p[2 * i + 1] << 8);
    out = Utf16ToWindows1252(units);
  } else {
    out.assign(reinterpret_cast<const char*>(p), length);
  }
  pos_ += static_cast<std::size_t>(bytes);
  return true;
}

void ArchiveWriter::Append(const void* p, std::size_t n) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  bytes_.insert(bytes_.end(), b, b + n);
}

void ArchiveWriter::WriteInt32(std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  Append(b, 4);
}

void ArchiveWriter::WriteFloat(float value) {
  std::int32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  WriteInt32(bits);
}

void ArchiveWriter::WriteString(std::string_view text) {
  const std::uint64_t n = text.size();
  if (n < 0xFF) {
    bytes_.push_back(static_cast<std::uint8_t>(n));
  } else if (n < 0xFFFE) {
    // 0xFFFE itself would read back as the wide-form marker.
    std::uint8_t b[3] = {0xFF, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)};
    Append(b, 3);
  } else {
    std::uint8_t b[3] = {0xFF, 0xFF, 0xFF};
    Append(b, 3);
    // Strings of 4 GiB and more can't be stored; the length is cut (never reached by library
    // files, whose strings are names).
    WriteInt32(
        static_cast<std::int32_t>(static_cast<std::uint32_t>(n < 0xFFFFFFFFu ? n : 0xFFFFFFFEu)));
    Append(text.data(), n < 0xFFFFFFFFu ? text.size() : 0xFFFFFFFEu);
    return;
  }
  Append(text.data(), text.size());
}

}  // namespace vellumix
