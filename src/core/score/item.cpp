#include "score/item.h"

namespace vellumix {

void CFloatArray::Set(std::size_t i, float v) {
  if (i >= values_.size()) values_.resize(i + 1, 0.0f);
  values_[i] = v;
}

}  // namespace vellumix
