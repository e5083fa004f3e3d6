// The core's Host in the desktop program. A run works on a worker thread: messages and questions
// are handed to the GUI thread, which shows them while the worker waits; status texts are posted
// and coalesced, so that a fast run is not slowed by painting; a cancel request is a flag the
// next status report answers.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <mutex>

#include "platform/host.h"

class QWidget;

namespace vellumix::gui {

class Presenter;

class GuiHost : public QObject, public Host {
  Q_OBJECT

 public:
  // Status texts reach the panes at most this often.
  static constexpr int kPaintIntervalMs = 16;

  explicit GuiHost(Presenter& presenter, QObject* parent = nullptr);

  // The window the boxes and dialogs belong to.
  void SetWindow(QWidget* window) { window_ = window; }

  // Host, callable from any thread.
  void ShowMessage(int id, std::string_view text) override;
  bool AskYesNo(int id, std::string_view text) override;
  bool ReportStatus(std::string_view text, int pane, bool clearSecondPane) override;
  bool AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                        int& bottom) override;
  bool AskAnacrusis(std::string_view text, float& beats) override;
  bool AskMultipleSystems(int id, std::string_view text, bool& dontShowAgain) override;

  // A run begins: no cancel request is pending.
  void BeginRun();
  // The user asked to cancel: the next status report answers false.
  void RequestCancel() { cancel_ = true; }
  bool CancelRequested() const { return cancel_; }
  // Shows the latest status texts at once (the end of a run).
  void ShowStatusNow();
  // From now on nothing more is shown: messages are passed over, questions answered No or
  // Cancel. For a window that goes away while a run still ends.
  void Detach() { detached_ = true; }

  // Called on the reporting thread with every status text, after it was posted and before the
  // cancel is read; for logs and tests.
  using StatusObserver = std::function<void(std::string_view text, int pane, bool clear)>;
  void SetStatusObserver(StatusObserver observer) { observer_ = std::move(observer); }

  QString StatusText(int pane) const { return shown_[pane == 1 ? 1 : 0]; }

 Q_SIGNALS:
  // The panes' texts changed; pane 0 stretches, pane 1 is the narrow one.
  void statusChanged(const QString& pane0, const QString& pane1);

 private:
  // Runs `ask` on the GUI thread (at once when already there) and returns its answer; answers
  // `otherwise` once detached.
  template <class T>
  T OnGuiThread(const std::function<T()>& ask, T otherwise);
  void FlushStatus();

  Presenter& presenter_;
  QPointer<QWidget> window_;
  std::atomic<bool> cancel_{false};
  std::atomic<bool> detached_{false};
  StatusObserver observer_;

  std::mutex mutex_;                // guards pending_
  std::array<QString, 2> pending_;  // the panes as the reports left them
  std::atomic<bool> flushQueued_{false};
  std::array<QString, 2> shown_;  // GUI thread only
  QElapsedTimer sinceShown_;
};

}  // namespace vellumix::gui
