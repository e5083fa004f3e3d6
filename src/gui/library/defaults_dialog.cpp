#include "library/defaults_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "help/help.h"
#include "run/document.h"

namespace vellumix::gui {

bool RunDefaultsDialog(QWidget* parent, CVellumixDoc& doc) {
  DefaultsDialog dialog(doc, parent);
  return dialog.exec() == QDialog::Accepted;
}

DefaultsDialog::DefaultsDialog(CVellumixDoc& doc, QWidget* parent)
    : SettingsDialog(doc, QStringLiteral("Defaults"), topic::kDefaults, parent) {
  struct Row {
    const char* key;
    const char* label;
    const char* unit;  // nullptr: a check box
  };
  const Row rows[] = {
      {"dynamic", "Default dynamic", "units"},
      {"noteLength", "Default note length", "%"},
      {"transposition", "Default transposition", "half-tones"},
      {"tempo", "Default tempo for playback", "mm"},
      {"graceNotesOnBeat", "Grace notes on the beat", nullptr},
      {"graceNoteLength", "Grace note length", "ticks"},
      {"tieVerticalWidth", "Tie vertical search width", "half-tones"},
      {"tieHorizontalWidth", "Tie horizontal search width", "Score units"},
      {"relativeEventUnit", "Relative event rhythmic unit", "ticks"},
      {"lyricsVerticalPosition", "Lyrics vertical position", "Score units"},
      {"lyricsVerticalWidth", "Lyrics vertical search width", "Score units"},
  };
  auto* grid = new QGridLayout;
  grid->setColumnStretch(3, 1);
  int line = 0;
  for (const Row& row : rows) {
    const QString key = QString::fromLatin1(row.key);
    const QString label = QString::fromLatin1(row.label);
    if (!row.unit) {
      auto* check = new QCheckBox(label);
      check->setObjectName(key);
      grid->addWidget(check, line++, 0, 1, 3);
      continue;
    }
    auto* edit = new QLineEdit;
    edit->setObjectName(key);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    auto* caption = new QLabel(label);
    caption->setBuddy(edit);
    grid->addWidget(caption, line, 0);
    grid->addWidget(edit, line, 1);
    grid->addWidget(new QLabel(QString::fromLatin1(row.unit)), line++, 2);
  }
  SetForm(grid);
  ShowValues(doc_.library.defaults, DefaultsFieldNames());
}

void DefaultsDialog::PutDefaults() {
  ShowValues(DefaultsDialogDefaults(), DefaultsFieldNames());
}

void DefaultsDialog::accept() {
  Defaults values = doc_.library.defaults;
  if (!TakeValues(values, DefaultsFieldNames())) return;
  std::string refusal;
  // A file that can't be written has been reported; the dialog stays open.
  if (!doc_.library.SaveDefaults(values, &refusal)) {
    if (!refusal.empty()) ShowMessage(refusal);
    return;
  }
  SettingsDialog::accept();
}

}  // namespace vellumix::gui
