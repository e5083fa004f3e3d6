#include "score/item.h"

namespace vellumix {

void CFloatArray::Set(std::size_t i, float v) {
  if (i >= size_) {
    if (i >= kInline) more_.resize(i + 1 - kInline, 0.0f);
    size_ = i + 1;
  }
  if (i < kInline) {
    inline_[i] = v;
  } else {
    more_[i - kInline] = v;
  }
}

}  // namespace vellumix
