#include "library/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "run/document.h"

namespace vellumix::gui {

bool RunOptionsDialog(QWidget* parent, CVellumixDoc& doc) {
  doc.library.LoadOptions();  // a missing file has been reported; the dialog shows what is held
  OptionsDialog dialog(doc, parent);
  return dialog.exec() == QDialog::Accepted;
}

SettingsDialog::SettingsDialog(CVellumixDoc& doc, const QString& caption, const char* helpTopic,
                               QWidget* parent)
    : QDialog(parent), doc_(doc), helpTopic_(QString::fromLatin1(helpTopic)) {
  setWindowTitle(caption);
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] { ShowHelp(this, helpTopic_); });
}

void SettingsDialog::SetForm(QLayout* form) {
  auto* buttons = new QDialogButtonBox(Qt::Vertical);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  QPushButton* defaults =
      buttons->addButton(QStringLiteral("Defaults"), QDialogButtonBox::ResetRole);
  defaults->setObjectName(QStringLiteral("defaults"));
  buttons->addButton(QStringLiteral("Help..."), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { ShowHelp(this, helpTopic_); });
  connect(defaults, &QPushButton::clicked, this, [this] { PutDefaults(); });

  auto* layout = new QHBoxLayout(this);
  layout->addLayout(form, 1);
  layout->addSpacing(8);
  layout->addWidget(buttons, 0, Qt::AlignTop);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SettingsDialog::ShowMessage(const std::string& text) {
  doc_.host.ShowMessage(0, text);
}

QWidget* SettingsDialog::Control(std::string_view key) const {
  return findChild<QWidget*>(QString::fromLatin1(key.data(), static_cast<qsizetype>(key.size())));
}

void SettingsDialog::SetControl(std::string_view key, const std::string& text) {
  QWidget* control = Control(key);
  if (auto* check = qobject_cast<QCheckBox*>(control)) {
    check->setChecked(text != "0");
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    edit->setText(QString::fromStdString(text));
  } else if (auto* list = qobject_cast<QComboBox*>(control)) {
    const QString shown = FromCoreText(text);
    // A value the list does not offer (a hand-made file) stays as it is unless changed.
    if (list->findText(shown) < 0) list->addItem(shown);
    list->setCurrentIndex(list->findText(shown));
  }
}

std::string SettingsDialog::ControlText(std::string_view key) const {
  QWidget* control = Control(key);
  if (auto* check = qobject_cast<QCheckBox*>(control)) return check->isChecked() ? "1" : "0";
  if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text().toStdString();
  if (auto* list = qobject_cast<QComboBox*>(control)) return list->currentText().toStdString();
  return {};
}

QWidget* SettingsDialog::Enabler(QWidget*) const {
  return nullptr;
}

void SettingsDialog::Refuse(std::string_view key, const std::string& text) {
  ShowMessage(text);
  QWidget* control = Control(key);
  if (!control) return;
  // A disabled box can't take the focus; the control that enables it can.
  if (!control->isEnabled()) {
    if (QWidget* enabler = Enabler(control)) enabler->setFocus();
    return;
  }
  control->setFocus();
  if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
}

OptionsDialog::OptionsDialog(CVellumixDoc& doc, QWidget* parent)
    : SettingsDialog(doc, QStringLiteral("Options"), topic::kOptions, parent) {
  all_ = Check("transcribeAllInstruments", "Transcribe all instruments");
  first_ = Edit("firstInstrument");
  last_ = Edit("lastInstrument");
  firstLabel_ = new QLabel(QStringLiteral("Only instruments"));
  firstLabel_->setBuddy(first_);
  lastLabel_ = new QLabel(QStringLiteral("to"));
  lastLabel_->setBuddy(last_);
  auto* instruments = new QHBoxLayout;
  instruments->addWidget(all_);
  instruments->addSpacing(16);
  instruments->addWidget(firstLabel_);
  instruments->addWidget(first_);
  instruments->addWidget(lastLabel_);
  instruments->addWidget(last_);
  instruments->addStretch(1);

  auto* fileType = new QComboBox;
  fileType->setObjectName(QStringLiteral("midiFileType"));
  fileType->addItems({QStringLiteral("Type 0"), QStringLiteral("Type 1")});
  auto* fileTypeLabel = new QLabel(QStringLiteral("Midi file type"));
  fileTypeLabel->setBuddy(fileType);
  auto* type = new QHBoxLayout;
  type->addWidget(fileTypeLabel);
  type->addWidget(fileType);
  type->addStretch(1);

  // The lower-case switches say what the reading interprets.
  auto* interpret = new QGroupBox(QStringLiteral("Interpret"));
  auto* interpretGrid = new QGridLayout(interpret);
  const std::pair<const char*, const char*> interpreted[] = {
      {"interpretCode9Symbols", "code 9 symbols"},
      {"interpretSpecialSymbols", "special symbols"},
      {"interpretRepeatBarlines", "repeat barlines"},
      {"interpretTremolos", "tremolos"},
      {"interpretOctava", "octava"},
      {"interpretGraphicPedalling", "graphic pedalling"},
      {"interpretTextSymbols", "text symbols"},
      {"interpretMetronomeMarks", "metronome marks"},
      {"interpretLyrics", "lyrics"},
  };
  int row = 0;
  for (const auto& [key, label] : interpreted)
    interpretGrid->addWidget(Check(key, label), row++, 0);

  auto* run = new QVBoxLayout;
  const std::pair<const char*, const char*> switches[] = {
      {"interpretMultipleSystems", "Interpret multiple systems"},
      {"ignoreCueNotes", "Ignore cue notes"},
      {"duplicateDynamicsOnBracedStaves", "Duplicate dynamics on braced staves"},
      {"promptMissingSymbol", "Prompt when a symbol used is missing from the library"},
      {"deleteTemporaryFiles", "Delete .tmp files after transcription"},
      {"autoPlayback", "Auto playback after transcription"},
      {"switchToNotationOnPlayback", "Open / switch to notation on playback"},
      {"sortFileList", "Sort files in filelist"},
  };
  for (const auto& [key, label] : switches) run->addWidget(Check(key, label));
  run->addStretch(1);

  auto* middle = new QHBoxLayout;
  middle->addWidget(interpret);
  middle->addSpacing(8);
  middle->addLayout(run, 1);

  auto* form = new QVBoxLayout;
  form->addLayout(instruments);
  form->addLayout(type);
  form->addLayout(middle);
  const std::pair<const char*, const char*> wide[] = {
      {"removeLyricPunctuation", "Remove punctuation when converting lyrics"},
      {"code4LinesAsTies", "Read Code 4 lines as ties; accidentals on all notes; no naturals"},
      {"explorerFileList",
       "Use Explorer-style Filelist Window (allows long filenames with spaces which are "
       "implemented in Davidare)"},
      {"useStaveTransposition",
       "Use Davidare's stave transposition feature (p13) [overrides template instruments and "
       "default transposition]"},
  };
  for (const auto& [key, label] : wide) form->addWidget(Check(key, label));
  SetForm(form);

  connect(all_, &QCheckBox::toggled, this, &OptionsDialog::Stabilize);
  ShowValues(doc_.library.options, OptionsFieldNames());
  Stabilize();
}

QCheckBox* OptionsDialog::Check(const char* key, const char* label) {
  auto* check = new QCheckBox(QString::fromLatin1(label));
  check->setObjectName(QString::fromLatin1(key));
  return check;
}

QLineEdit* OptionsDialog::Edit(const char* key) {
  auto* edit = new QLineEdit;
  edit->setObjectName(QString::fromLatin1(key));
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
  return edit;
}

void OptionsDialog::Stabilize() {
  const bool some = !all_->isChecked();
  for (QWidget* control : {static_cast<QWidget*>(firstLabel_), static_cast<QWidget*>(first_),
                           static_cast<QWidget*>(lastLabel_), static_cast<QWidget*>(last_)})
    control->setEnabled(some);
}

QWidget* OptionsDialog::Enabler(QWidget* control) const {
  return control == first_ || control == last_ ? all_ : nullptr;
}

void OptionsDialog::PutDefaults() {
  ShowValues(OptionsDialogDefaults(), OptionsFieldNames());
  Stabilize();
}

void OptionsDialog::accept() {
  // The range is checked even while the boxes are disabled.
  Options values = doc_.library.options;
  if (!TakeValues(values, OptionsFieldNames())) return;
  std::string refusal;
  // A file that can't be written has been reported; the dialog stays open.
  if (!doc_.SaveOptions(values, &refusal)) {
    if (!refusal.empty()) ShowMessage(refusal);
    return;
  }
  SettingsDialog::accept();
}

}  // namespace vellumix::gui
