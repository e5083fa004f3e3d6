// One stored SCORE item: the parameter values kept for its code, plus the text of a text item.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace vellumix {

// A growable array of 32-bit floats. Reading past the end gives 0; writing past it grows the
// array with zeros, as the file format treats missing parameters. An item keeps at most 13
// values, so they live in the array itself; more go to the heap.
class CFloatArray {
 public:
  float Get(std::size_t i) const {
    return i >= size_ ? 0.0f : i < kInline ? inline_[i] : more_[i - kInline];
  }
  void Set(std::size_t i, float v);
  void Append(float v) { Set(size_, v); }
  std::size_t Size() const { return size_; }

 private:
  static constexpr std::size_t kInline = 14;
  std::array<float, kInline> inline_{};
  std::size_t size_ = 0;
  std::vector<float> more_;  // the values from kInline on
};

// Values are the kept parameters in the order of the item's code: P1 P2 P3 ... for every code
// but the barline (14), whose values are P3 P4 P5.
struct CItem {
  CFloatArray values;
  std::string text;  // text items (code 16) only
};

}  // namespace vellumix
