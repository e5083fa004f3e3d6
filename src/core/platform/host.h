// What the core asks of the program that presents it: messages, questions, progress and cancel.
// The desktop program, the command line and the tests each implement Host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "res/strings.h"

namespace vellumix {

enum class TimeSignatureQuestion {
  kNoInitial,    // no time signature in bar 1 (message 38)
  kMultiple,     // more than one in a bar (message 44)
  kUnsupported,  // one the engine can't play (message 55)
};

class Host {
 public:
  virtual ~Host() = default;

  // A message with an OK button; `text` is message `id` already formatted.
  virtual void ShowMessage(int id, std::string_view text) = 0;
  // A Yes/No question; true is Yes.
  virtual bool AskYesNo(int id, std::string_view text) = 0;
  // Progress report and cancellation point: sets pane 0 or 1 (clearing pane 1 first when asked)
  // and answers false when the user asked to cancel.
  virtual bool ReportStatus(std::string_view text, int pane, bool clearSecondPane) = 0;
  // ReportStatus with message `id` and one number (reported for every item of a run). A host that
  // shows only some of the reports may keep the number and compose the text when it shows it.
  virtual bool ReportStatusNumber(int id, std::int64_t number, int pane, bool clearSecondPane);

  // The time-signature dialogs: top and bottom hold the starting values and receive the answer.
  // False is Cancel.
  virtual bool AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                                int& bottom) = 0;
  // The anacrusis dialog: beats holds the starting value and receives the answer. False is Cancel.
  virtual bool AskAnacrusis(std::string_view text, float& beats) = 0;
  // The multiple-systems question (messages 53 and 54): true is Yes; dontShowAgain receives the
  // check box.
  virtual bool AskMultipleSystems(int id, std::string_view text, bool& dontShowAgain) = 0;
};

// Status texts are composed in a buffer of this many characters, terminator included.
inline constexpr std::size_t kStatusBufferSize = 160;

// Message `id` with one string argument.
void ShowMessage(Host& host, int id, std::string_view argument);
// Message `id` as it stands.
void ShowMessageById(Host& host, int id);
// Message `id` with several arguments (%d and %s in order).
void ShowMessageFormatted(Host& host, int id, const std::vector<res::FormatArg>& args);
// A failed write of `path` (the name the user knows) with the system's reason (message 10 when
// no reason is known).
void ShowWriteFailure(Host& host, std::string_view path);
// Yes/No question `id` with one string argument.
bool AskYesNo(Host& host, int id, std::string_view argument);

// ReportStatus with the text cut to the status buffer.
bool ReportStatus(Host& host, std::string_view text, int pane, bool clearSecondPane);
// Message `id` in pane 0.
bool ReportStatusById(Host& host, int id, bool clearSecondPane);
// Message `id` with one string argument, in the given pane.
bool ReportStatusFormatted(Host& host, int id, std::string_view argument, int pane,
                           bool clearSecondPane);

}  // namespace vellumix
