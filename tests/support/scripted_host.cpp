#include "scripted_host.h"

#include <algorithm>

namespace vellumix::test {

void ScriptedHost::ShowMessage(int id, std::string_view text) {
  messages.push_back({id, std::string(text)});
}

bool ScriptedHost::AskYesNo(int id, std::string_view text) {
  messages.push_back({id, std::string(text)});
  if (yesNoAnswers.empty()) return false;
  bool a = yesNoAnswers.front();
  yesNoAnswers.pop_front();
  return a;
}

bool ScriptedHost::ReportStatus(std::string_view text, int pane, bool clearSecondPane) {
  statuses.push_back({std::string(text), pane, clearSecondPane});
  return !(cancelAtReport > 0 && static_cast<int>(statuses.size()) >= cancelAtReport);
}

bool ScriptedHost::AskTimeSignature(TimeSignatureQuestion kind, std::string_view text, int& top,
                                    int& bottom) {
  timeSignatureKinds.push_back(kind);
  messages.push_back({-1, std::string(text)});
  if (timeSignatureAnswers.empty()) return true;
  auto a = timeSignatureAnswers.front();
  timeSignatureAnswers.pop_front();
  if (!a.ok) return false;
  top = a.top;
  bottom = a.bottom;
  return true;
}

bool ScriptedHost::AskAnacrusis(std::string_view text, float& beats) {
  messages.push_back({-1, std::string(text)});
  if (anacrusisAnswers.empty()) return true;
  auto a = anacrusisAnswers.front();
  anacrusisAnswers.pop_front();
  if (!a.ok) return false;
  beats = a.beats;
  return true;
}

bool ScriptedHost::AskMultipleSystems(int id, std::string_view text, bool& dontShowAgain) {
  messages.push_back({id, std::string(text)});
  if (multipleSystemsAnswers.empty()) {
    dontShowAgain = false;
    return false;
  }
  auto a = multipleSystemsAnswers.front();
  multipleSystemsAnswers.pop_front();
  dontShowAgain = a.dontShowAgain;
  return a.yes;
}

std::vector<int> ScriptedHost::MessageIds() const {
  std::vector<int> ids;
  for (const auto& m : messages) ids.push_back(m.id);
  return ids;
}

bool ScriptedHost::Shown(int id) const {
  return std::any_of(messages.begin(), messages.end(), [id](const Message& m) { return m.id == id; });
}

}  // namespace vellumix::test
