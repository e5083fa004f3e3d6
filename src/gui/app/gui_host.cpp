#include "app/gui_host.h"

#include <QThread>
#include <QTimer>
#include <QWidget>

#include "app/presenter.h"
#include "app/text.h"

namespace vellumix::gui {

GuiHost::GuiHost(Presenter& presenter, QObject* parent) : QObject(parent), presenter_(presenter) {}

template <class T>
T GuiHost::OnGuiThread(const std::function<T()>& ask, T otherwise) {
  if (detached_) return otherwise;
  if (QThread::currentThread() == thread()) return ask();
  T answer = otherwise;
  // The worker waits here; the window stays live, since the GUI thread never waits for it.
  QMetaObject::invokeMethod(
      this, [&] { answer = detached_ ? otherwise : ask(); }, Qt::BlockingQueuedConnection);
  return answer;
}

void GuiHost::ShowMessage(int, std::string_view text) {
  const QString shown = FromCoreText(text);
  OnGuiThread<bool>(
      [&] {
        presenter_.ShowMessage(window_, shown);
        return true;
      },
      false);
}

bool GuiHost::AskYesNo(int, std::string_view text) {
  const QString shown = FromCoreText(text);
  return OnGuiThread<bool>([&] { return presenter_.AskYesNo(window_, shown); }, false);
}

bool GuiHost::AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                               int& bottom) {
  const QString shown = FromCoreText(text);
  return OnGuiThread<bool>(
      [&] { return presenter_.AskTimeSignature(window_, kind, shown, top, bottom); }, false);
}

bool GuiHost::AskAnacrusis(std::string_view text, float& beats) {
  const QString shown = FromCoreText(text);
  return OnGuiThread<bool>([&] { return presenter_.AskAnacrusis(window_, shown, beats); }, false);
}

bool GuiHost::AskMultipleSystems(int, std::string_view text, bool& dontShowAgain) {
  const QString shown = FromCoreText(text);
  return OnGuiThread<bool>(
      [&] { return presenter_.AskMultipleSystems(window_, shown, dontShowAgain); }, false);
}

bool GuiHost::ReportStatus(std::string_view text, int pane, bool clearSecondPane) {
  {
    std::lock_guard lock(mutex_);
    if (clearSecondPane) pending_[1].clear();
    pending_[pane == 1 ? 1 : 0] = FromCoreText(text);
  }
  // One flush in the queue at a time: reports that come before it runs are shown together.
  if (!flushQueued_.exchange(true))
    QMetaObject::invokeMethod(this, &GuiHost::FlushStatus, Qt::QueuedConnection);
  if (observer_) observer_(text, pane, clearSecondPane);
  return !cancel_;
}

void GuiHost::BeginRun() {
  cancel_ = false;
}

void GuiHost::FlushStatus() {
  if (sinceShown_.isValid() && sinceShown_.elapsed() < kPaintIntervalMs) {
    QTimer::singleShot(kPaintIntervalMs - static_cast<int>(sinceShown_.elapsed()), this,
                       &GuiHost::FlushStatus);
    return;
  }
  ShowStatusNow();
}

void GuiHost::ShowStatusNow() {
  // Cleared before the copy: a report after the copy queues a flush of its own.
  flushQueued_ = false;
  {
    std::lock_guard lock(mutex_);
    if (pending_ == shown_) return;
    shown_ = pending_;
  }
  sinceShown_.restart();
  Q_EMIT statusChanged(shown_[0], shown_[1]);
}

}  // namespace vellumix::gui
