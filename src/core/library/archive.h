// The binary encoding every library file shares: little-endian 32-bit integers and floats and
// length-prefixed 8-bit strings, read from and written to memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vellumix {

// Reads values from a byte span. Each read returns false when the data runs out (or a length
// claims more than is left) and then leaves both the output and the position as they were.
class ArchiveReader {
 public:
  explicit ArchiveReader(std::span<const std::uint8_t> data) : data_(data) {}
  // The reader keeps a view: a temporary buffer would be gone before the first read.
  explicit ArchiveReader(std::vector<std::uint8_t>&&) = delete;

  bool ReadInt32(std::int32_t& out);
  bool ReadFloat(float& out);
  // 8-bit strings as stored; the wide (UTF-16LE) form is converted to Windows-1252, with '?'
  // for characters it can't represent.
  bool ReadString(std::string& out);
  // The two above by type, for records read field by field.
  bool Read(std::int32_t& out) { return ReadInt32(out); }
  bool Read(std::string& out) { return ReadString(out); }

  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return data_.size() - pos_; }

 private:
  bool ReadBytes(void* out, std::size_t n);

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

// Appends values to a growing byte buffer.
class ArchiveWriter {
 public:
  void WriteInt32(std::int32_t value);
  void WriteFloat(float value);
  // Length prefix: 1 byte below 255; FF + 16-bit below 0xFFFE; FF FF FF + 32-bit beyond.
  void WriteString(std::string_view text);
  // The two above by type, for records written field by field.
  void Write(std::int32_t value) { WriteInt32(value); }
  void Write(std::string_view text) { WriteString(text); }

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  void Append(const void* p, std::size_t n);

  std::vector<std::uint8_t> bytes_;
};

// One UTF-16 code unit sequence as 8-bit Windows-1252 text ('?' where there is no such byte).
std::string Utf16ToWindows1252(std::span<const std::uint16_t> units);

}  // namespace vellumix
