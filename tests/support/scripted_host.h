// A Host for tests: records every message and status text, answers questions from queues, and can
// answer "cancel" at the Nth status report.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/host.h"

namespace vellumix::test {

class ScriptedHost : public Host {
 public:
  struct Message {
    int id;
    std::string text;
  };
  struct Status {
    std::string text;
    int pane;
    bool clearSecondPane;
  };
  struct TimeSignatureAnswer {
    bool ok;
    int top;
    int bottom;
  };
  struct AnacrusisAnswer {
    bool ok;
    float beats;
  };
  struct MultipleSystemsAnswer {
    bool yes;
    bool dontShowAgain;
  };

  void ShowMessage(int id, std::string_view text) override;
  bool AskYesNo(int id, std::string_view text) override;
  bool ReportStatus(std::string_view text, int pane, bool clearSecondPane) override;
  bool AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                        int& bottom) override;
  bool AskAnacrusis(std::string_view text, float& beats) override;
  bool AskMultipleSystems(int id, std::string_view text, bool& dontShowAgain) override;

  // Ids of the messages shown and questions asked, in order.
  std::vector<int> MessageIds() const;
  bool Shown(int id) const;

  std::vector<Message> messages;  // ShowMessage and every question, in order
  std::vector<Status> statuses;
  std::deque<bool> yesNoAnswers;  // empty: No
  std::deque<TimeSignatureAnswer> timeSignatureAnswers;  // empty: OK with the starting values
  std::deque<AnacrusisAnswer> anacrusisAnswers;          // empty: OK with the starting value
  std::deque<MultipleSystemsAnswer> multipleSystemsAnswers;  // empty: No
  // Answer "cancel" at this status report (1 = the first); 0 never.
  int cancelAtReport = 0;
  std::vector<TimeSignatureQuestion> timeSignatureKinds;
};

}  // namespace vellumix::test
