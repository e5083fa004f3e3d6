#include "questions/internal/answer_check.h"

#include "app/text.h"
#include "score/systems.h"

namespace vellumix::gui {

std::optional<QString> TimeSignatureRefusal(TimeSignatureQuestion, int top, int bottom) {
  const auto refusal = vellumix::TimeSignatureRefusal(top, bottom);
  if (!refusal) return std::nullopt;
  return FromCoreText(*refusal);
}

std::optional<QString> AnacrusisRefusal(float beats) {
  const auto refusal = vellumix::AnacrusisRefusal(beats);
  if (!refusal) return std::nullopt;
  return FromCoreText(*refusal);
}

}  // namespace vellumix::gui
