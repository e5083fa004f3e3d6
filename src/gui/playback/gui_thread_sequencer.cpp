#include "playback/gui_thread_sequencer.h"

#include <QThread>
#include <utility>

namespace vellumix::gui {

bool GuiThreadSequencer::Play(std::uint32_t fromMs, EndHandler onEnd) {
  return inner_.Play(fromMs, [this, onEnd = std::move(onEnd)](bool completed) {
    if (QThread::currentThread() == context_.thread()) {
      onEnd(completed);
      return;
    }
    QMetaObject::invokeMethod(
        &context_, [onEnd, completed] { onEnd(completed); }, Qt::QueuedConnection);
  });
}

}  // namespace vellumix::gui
