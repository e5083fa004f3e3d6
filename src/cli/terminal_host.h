// The command line's Host: messages and questions on stderr/stdin, a progress line on stderr,
// Ctrl-C as the cancel request.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/host.h"

namespace vellumix::cli {

struct Answers {
  std::optional<std::pair<int, int>> timeSignature;  // --time-signature N/D
  std::optional<float> anacrusis;                    // --anacrusis BEATS
  std::optional<bool> multipleSystems;               // --multiple-systems yes|no
  bool yes = false;                                  // --yes
};

class TerminalHost : public Host {
 public:
  explicit TerminalHost(Answers answers = {});
  ~TerminalHost() override;

  void ShowMessage(int id, std::string_view text) override;
  bool AskYesNo(int id, std::string_view text) override;
  bool ReportStatus(std::string_view text, int pane, bool clearSecondPane) override;
  bool ReportStatusNumber(int id, std::int64_t number, int pane, bool clearSecondPane) override;
  bool AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                        int& bottom) override;
  bool AskAnacrusis(std::string_view text, float& beats) override;
  bool AskMultipleSystems(int id, std::string_view text, bool& dontShowAgain) override;

  // Whether a Ctrl-C, SIGTERM or SIGHUP ended the work.
  bool Cancelled() const { return cancelled_; }
  // The exit status of a cancelled run: 128 and the signal's number (130 for Ctrl-C).
  int CancelExitStatus() const;
  // Ends the progress line so that what follows starts on a line of its own.
  void EndProgress();
  // Prints every pane-0 status as a line of its own even when stderr is not a terminal.
  void SetVerbose(bool v) { verbose_ = v; }

 private:
  bool Interactive() const;
  // One line from stdin after a prompt on stderr; nothing at end of input.
  std::optional<std::string> Prompt(const std::string& prompt);
  void Note(const std::string& text);
  // Redraws the progress line when it is due; then a pending number becomes its pane's text.
  void Draw();
  // A Ctrl-C since the last report.
  bool Interrupted();

  Answers answers_;
  bool stderrIsTty_;
  bool stdinIsTty_;
  bool verbose_ = false;
  bool cancelled_ = false;
  int cancelSignal_ = 0;
  struct sigaction previous_[3] = {};  // of SIGINT, SIGTERM, SIGHUP
  bool progressShown_ = false;
  std::string panes_[2];
  // Pane 1's text when it is message pendingId_ with pendingNumber_, not composed yet.
  int pendingId_ = 0;
  std::int64_t pendingNumber_ = 0;
  std::string lastPrinted_;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace vellumix::cli
