// Whether the core takes a question's answer, so that the dialogs refuse exactly what the reader
// would refuse, with the core's words.
#pragma once

#include <QString>
#include <optional>

#include "platform/host.h"

namespace vellumix::gui {

// The message the reader refuses top/bottom with (message 56), or nothing when it takes them.
std::optional<QString> TimeSignatureRefusal(TimeSignatureQuestion kind, int top, int bottom);
// The message the reader refuses a bar-1 length with, or nothing when it takes it.
std::optional<QString> AnacrusisRefusal(float beats);

}  // namespace vellumix::gui
