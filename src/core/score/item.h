// One stored SCORE item: the parameter values kept for its code, plus the text of a text item.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vellumix {

// A growable array of 32-bit floats. Reading past the end gives 0; writing past it grows the
// array with zeros, as the file format treats missing parameters.
class CFloatArray {
 public:
  float Get(std::size_t i) const { return i < values_.size() ? values_[i] : 0.0f; }
  void Set(std::size_t i, float v);
  void Append(float v) { values_.push_back(v); }
  std::size_t Size() const { return values_.size(); }

 private:
  std::vector<float> values_;
};

// Values are the kept parameters in the order of the item's code: P1 P2 P3 ... for every code
// but the barline (14), whose values are P3 P4 P5.
struct CItem {
  CFloatArray values;
  std::string text;  // text items (code 16) only
};

}  // namespace vellumix
