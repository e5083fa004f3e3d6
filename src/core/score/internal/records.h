// The record scanner the reader and the dump share: file checks, layout, and one raw record at a
// time. Every length in the file is checked against the bytes that are really there.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vellumix {
class Host;
}

namespace vellumix::score {

inline constexpr int kMaxParameters = 53;

// Why a file was refused: a message id (0: not refused) and, for a damaged file, a reason.
struct ScanFailure {
  int id = 0;
  std::string reason;
};

struct Layout {
  std::int32_t headerWord = 0;     // H
  std::int32_t trailerLength = 0;  // T
  int bodyOffset = 2;
  std::int64_t totalWords = 0;  // H - T, never negative
};

struct Record {
  int count = 0;                          // N, integer part
  std::array<float, kMaxParameters> p{};  // p[0] is P1; beyond N all 0
  std::span<const std::uint8_t> bytes;    // P1 ... PN as stored
  float P(int i) const { return p[static_cast<std::size_t>(i - 1)]; }
};

class RecordScanner {
 public:
  explicit RecordScanner(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  // Signature, header word and trailer checks; false with the reason when refused.
  bool Open(ScanFailure& failure);
  const Layout& layout() const { return layout_; }
  // The next record; false at the end (failure.id stays 0) or when a record is bad.
  bool Next(Record& record, ScanFailure& failure);
  // Words of item records consumed so far.
  std::int64_t WordsRead() const { return counter_; }

 private:
  std::span<const std::uint8_t> bytes_;
  Layout layout_;
  std::int64_t counter_ = 0;
};

// The little-endian float at `offset`; the caller has checked the bounds.
float FloatAt(std::span<const std::uint8_t> bytes, std::size_t offset);

// Shows the refusal's message for file `name`.
void ShowScanFailure(Host& host, std::string_view name, const ScanFailure& failure);

}  // namespace vellumix::score
