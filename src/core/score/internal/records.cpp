#include "score/internal/records.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "platform/host.h"
#include "res/strings.h"

namespace vellumix::score {

namespace {

constexpr std::uint8_t kSignature[10] = {0x4B, 0x81, 0x10, 0x00, 0x8A,
                                         0x81, 0x02, 0xB1, 0x46, 0x02};
constexpr std::size_t kVersion1MarkOffset = 128;
constexpr std::int32_t kLongHeaderFrom = 14201;
constexpr std::int64_t kTrailerBytes = 8;  // the float F and the word after it

bool Damaged(ScanFailure& failure, std::string reason) {
  failure.id = res::kDamagedScoreFile;
  failure.reason = std::move(reason);
  return false;
}

bool Refused(ScanFailure& failure, int id) {
  failure.id = id;
  failure.reason.clear();
  return false;
}

}  // namespace

float FloatAt(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint32_t word = static_cast<std::uint32_t>(bytes[offset]) |
                       static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
                       static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
                       static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
  return std::bit_cast<float>(word);
}

bool RecordScanner::Open(ScanFailure& failure) {
  failure = {};
  counter_ = 0;
  const std::int64_t size = static_cast<std::int64_t>(bytes_.size());

  if (size >= 4 && std::memcmp(bytes_.data(), kSignature, 4) == 0) {
    const bool version1 = size >= static_cast<std::int64_t>(kVersion1MarkOffset + 7) &&
                          std::memcmp(bytes_.data() + kVersion1MarkOffset, kSignature + 3, 7) == 0;
    return Refused(failure, version1 ? res::kScoreVersion1 : res::kNotScoreFile);
  }
  if (size >= 2 && bytes_[0] == kSignature[0] && bytes_[1] == kSignature[1]) {
    return Refused(failure, res::kIntermediateVersion);
  }

  if (size < 2 + kTrailerBytes) return Damaged(failure, "the file is too short");
  const std::int32_t h = bytes_[0] | bytes_[1] << 8;

  // The header word decides where the body starts, unless the file's length says plainly which
  // header it has: H counts every word after the header.
  int offset = h < kLongHeaderFrom ? 2 : 4;
  if ((size - 2) % 4 == 0 && (size - 2) / 4 == h) {
    offset = 2;
  } else if ((size - 4) % 4 == 0 && (size - 4) / 4 == h) {
    offset = 4;
  }
  if (size < offset + kTrailerBytes) return Damaged(failure, "the file is too short");

  const float f = FloatAt(bytes_, static_cast<std::size_t>(size - kTrailerBytes));
  const double t = std::trunc(static_cast<double>(f) + 1.0);
  if (!std::isfinite(t) || t < -32768.0 || t > 32767.0) {
    return Damaged(failure, "the trailer length is not a usable number");
  }
  const std::int32_t trailer = static_cast<std::int16_t>(static_cast<std::int32_t>(t));
  if (trailer < 0) return Damaged(failure, "the trailer length is negative");
  if (trailer > h) return Damaged(failure, "the trailer length exceeds the header word");

  const std::int64_t total = static_cast<std::int64_t>(h) - trailer;
  if (offset + total * 4 > size) {
    return Damaged(failure, "the header word claims more items than the file holds");
  }
  layout_ = {h, trailer, offset, total};
  return true;
}

bool RecordScanner::Next(Record& record, ScanFailure& failure) {
  failure = {};
  if (counter_ >= layout_.totalWords) return false;
  const std::int64_t at = layout_.bodyOffset + counter_ * 4;
  const float n = FloatAt(bytes_, static_cast<std::size_t>(at));
  if (!std::isfinite(n)) return Damaged(failure, "an item's parameter count is not a number");
  if (n < 0.0f) return Damaged(failure, "an item's parameter count is negative");
  // Real files carry noise in the low bits of N (7.0000153): its integer part counts.
  if (n >= static_cast<float>(kMaxParameters + 1)) return Refused(failure, res::kTooManyParameters);
  const int count = static_cast<int>(n);
  if (counter_ + 1 + count > layout_.totalWords) {
    return Damaged(failure, "an item runs past the end of the items");
  }
  record.count = count;
  record.p.fill(0.0f);
  for (int i = 0; i < count; ++i) {
    record.p[static_cast<std::size_t>(i)] =
        FloatAt(bytes_, static_cast<std::size_t>(at + 4 + 4 * i));
  }
  record.bytes =
      bytes_.subspan(static_cast<std::size_t>(at + 4), static_cast<std::size_t>(count) * 4);
  counter_ += 1 + count;
  return true;
}

void ShowScanFailure(Host& host, std::string_view name, const ScanFailure& failure) {
  switch (failure.id) {
    case 0:
      return;
    case res::kTooManyParameters:
      ShowMessageById(host, failure.id);
      return;
    case res::kDamagedScoreFile:
      ShowMessageFormatted(host, failure.id, {name, std::string_view(failure.reason)});
      return;
    default:
      ShowMessage(host, failure.id, name);
  }
}

}  // namespace vellumix::score
