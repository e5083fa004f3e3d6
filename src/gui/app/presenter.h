// What the user is shown and asked while the core works: message boxes and the notation
// questions. Always called on the GUI thread; tests put a scripted one in its place.
#pragma once

#include <QString>

#include "platform/host.h"

class QWidget;

namespace vellumix::gui {

class Presenter {
 public:
  virtual ~Presenter() = default;

  // A message with OK.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  // A question with Yes and No; true is Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
  // The notation questions; in/out values as in Host, false is Cancel (No for multiple systems).
  virtual bool AskTimeSignature(QWidget* parent, TimeSignatureQuestion kind, const QString& text,
                                int& top, int& bottom) = 0;
  virtual bool AskAnacrusis(QWidget* parent, const QString& text, float& beats) = 0;
  virtual bool AskMultipleSystems(QWidget* parent, const QString& text, bool& dontShowAgain) = 0;
};

// The program's own boxes and dialogs.
class DialogPresenter : public Presenter {
 public:
  void ShowMessage(QWidget* parent, const QString& text) override;
  bool AskYesNo(QWidget* parent, const QString& text) override;
  bool AskTimeSignature(QWidget* parent, TimeSignatureQuestion kind, const QString& text, int& top,
                        int& bottom) override;
  bool AskAnacrusis(QWidget* parent, const QString& text, float& beats) override;
  bool AskMultipleSystems(QWidget* parent, const QString& text, bool& dontShowAgain) override;
};

}  // namespace vellumix::gui
