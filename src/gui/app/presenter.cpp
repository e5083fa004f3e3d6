#include "app/presenter.h"

#include <QMessageBox>

#include "app/text.h"
#include "questions/questions.h"
#include "res/strings.h"

namespace vellumix::gui {

void DialogPresenter::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, FromCoreText(res::Text(res::kTitle)), text);
}

bool DialogPresenter::AskYesNo(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, FromCoreText(res::Text(res::kTitle)), text,
                               QMessageBox::Yes | QMessageBox::No,
                               QMessageBox::Yes) == QMessageBox::Yes;
}

bool DialogPresenter::AskTimeSignature(QWidget* parent, TimeSignatureQuestion kind,
                                       const QString& text, int& top, int& bottom) {
  return gui::AskTimeSignature(parent, kind, text, top, bottom);
}

bool DialogPresenter::AskAnacrusis(QWidget* parent, const QString& text, float& beats) {
  return gui::AskAnacrusis(parent, text, beats);
}

bool DialogPresenter::AskMultipleSystems(QWidget* parent, const QString& text,
                                         bool& dontShowAgain) {
  return gui::AskMultipleSystems(parent, text, dontShowAgain);
}

}  // namespace vellumix::gui
