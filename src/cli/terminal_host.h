// The command line's Hosts: questions answered ahead, by the user or by the page's evidence, and
// the terminal's messages, progress line and Ctrl-C.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"

namespace vellumix::cli {

struct Answers {
  std::optional<std::pair<int, int>> timeSignature;  // --time-signature N/D
  std::optional<float> anacrusis;                    // --anacrusis BEATS
  std::optional<bool> multipleSystems;               // --multiple-systems yes|no
  bool yes = false;                                  // --yes
};

// A question a run put, and the answer it took.
struct AnswerTaken {
  std::string question;  // "yes/no", "time signature", "anacrusis", "multiple systems"
  std::string text;      // the question as put
  std::string answer;    // "yes", "no", "3/4", "1.5"
  std::string by;        // "command line", "user", "page" (no one to ask), "cancelled"
};

struct MessageShown {
  int id = 0;
  std::string text;
};

// Answers every question with what the command line gave, else asks the user when there is a
// terminal, else takes what the page's evidence offers; keeps every answer and message so that a
// report can give them.
class AnsweringHost : public Host {
 public:
  explicit AnsweringHost(Answers answers) : answers_(std::move(answers)) {}

  void ShowMessage(int id, std::string_view text) final;
  bool AskYesNo(int id, std::string_view text) final;
  bool AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                        int& bottom) final;
  bool AskAnacrusis(std::string_view text, float& beats) final;
  bool AskMultipleSystems(int id, std::string_view text, bool& dontShowAgain) final;

  const std::vector<AnswerTaken>& Taken() const { return taken_; }
  const std::vector<MessageShown>& Messages() const { return messages_; }
  // Forgets the answers and messages kept so far.
  void Forget();

 protected:
  virtual bool Interactive() const { return false; }
  // Shows a line to the user.
  virtual void Show(const std::string& text) = 0;
  // One line from the user after `prompt`; nothing at end of input.
  virtual std::optional<std::string> Prompt(const std::string&) { return std::nullopt; }

 private:
  void Take(std::string question, std::string_view text, std::string answer, std::string by);

  Answers answers_;
  std::vector<AnswerTaken> taken_;
  std::vector<MessageShown> messages_;
};

class TerminalHost : public AnsweringHost {
 public:
  explicit TerminalHost(Answers answers = {});
  ~TerminalHost() override;

  bool ReportStatus(std::string_view text, int pane, bool clearSecondPane) override;
  bool ReportStatusNumber(int id, std::int64_t number, int pane, bool clearSecondPane) override;

  // False once a Ctrl-C, SIGTERM or SIGHUP asked to stop, as a report would answer.
  bool KeepGoing() { return !Interrupted(); }
  // Whether a Ctrl-C, SIGTERM or SIGHUP ended the work.
  bool Cancelled() const { return cancelled_; }
  // The exit status of a cancelled run: 128 and the signal's number (130 for Ctrl-C).
  int CancelExitStatus() const;
  // Ends the progress line so that what follows starts on a line of its own.
  void EndProgress();
  // Prints every pane-0 status as a line of its own even when stderr is not a terminal.
  void SetVerbose(bool v) { verbose_ = v; }
  bool StderrIsTerminal() const { return stderrIsTty_; }

 protected:
  bool Interactive() const override;
  void Show(const std::string& text) override;
  std::optional<std::string> Prompt(const std::string& prompt) override;

 private:
  // Redraws the progress line when it is due; then a pending number becomes its pane's text.
  void Draw();
  // A Ctrl-C since the last report.
  bool Interrupted();

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
