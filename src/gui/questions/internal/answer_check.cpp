#include "questions/internal/answer_check.h"

#include "app/text.h"
#include "score/systems.h"

namespace vellumix::gui {

namespace {

// Gives the core's loop one answer and Cancel after it; records the refusal it shows in between.
class OneAnswerHost : public Host {
 public:
  OneAnswerHost(int top, int bottom, float beats) : top_(top), bottom_(bottom), beats_(beats) {}

  const std::optional<QString>& refusal() const { return refusal_; }

  void ShowMessage(int, std::string_view text) override { refusal_ = FromCoreText(text); }
  bool AskYesNo(int, std::string_view) override { return false; }
  bool ReportStatus(std::string_view, int, bool) override { return true; }
  bool AskTimeSignature(TimeSignatureQuestion, std::string_view, int& top, int& bottom) override {
    if (answered_) return false;
    answered_ = true;
    top = top_;
    bottom = bottom_;
    return true;
  }
  bool AskAnacrusis(std::string_view, float& beats) override {
    if (answered_) return false;
    answered_ = true;
    beats = beats_;
    return true;
  }
  bool AskMultipleSystems(int, std::string_view, bool&) override { return false; }

 private:
  int top_;
  int bottom_;
  float beats_;
  bool answered_ = false;
  std::optional<QString> refusal_;
};

}  // namespace

std::optional<QString> TimeSignatureRefusal(TimeSignatureQuestion kind, int top, int bottom) {
  OneAnswerHost host(top, bottom, 0.0f);
  int t = top;
  int b = bottom;
  if (AskValidTimeSignature(host, kind, {}, t, b)) return std::nullopt;
  return host.refusal().value_or(QString());
}

std::optional<QString> AnacrusisRefusal(float beats) {
  OneAnswerHost host(0, 0, beats);
  float v = beats;
  if (AskValidAnacrusis(host, {}, v)) return std::nullopt;
  return host.refusal().value_or(QString());
}

}  // namespace vellumix::gui
