#include "library/edit_special_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_symbol_dialog.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

// The three rows of a multiple note event, one box a note of the pattern.
struct StepRow {
  const char* label;
  const char* key;  // the field's key without its step number
  SpecialRecord::Steps SpecialRecord::*steps;
  const char* unit;
};

const StepRow kStepRows[] = {
    {"Relative pitch movement", "pitchMovement", &SpecialRecord::pitchMovements, ""},
    {"Relative durations", "duration", &SpecialRecord::durations, ""},
    {"Relative velocity", "velocity", &SpecialRecord::velocities, "%"},
};

QLabel* Label(const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setBuddy(buddy);
  return label;
}

}  // namespace

std::optional<LibraryEntry> EditSpecial(QWidget* parent, CVellumixDoc& doc,
                                        const SpecialRecord& record, const QString& caption) {
  const auto lines = ReadInstrumentList(doc.host, doc.library.LibraryFolder);
  if (!lines) return std::nullopt;
  EditSpecialDialog dialog(doc, *lines, record, caption, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.saved();
}

EditSpecialDialog::EditSpecialDialog(CVellumixDoc& doc, const std::vector<std::string>& libraries,
                                     const SpecialRecord& record, const QString& caption,
                                     QWidget* parent)
    : QDialog(parent), doc_(doc), record_(record) {
  setWindowTitle(caption);

  name_ = new QLineEdit(FromCoreText(record.fileName));
  name_->setObjectName(QStringLiteral("fileName"));
  library_ = MakeLibraryChoices(libraries, record.instrumentLibrary);
  library_->setObjectName(QStringLiteral("instrumentLibrary"));
  auto* names = new QHBoxLayout;
  names->addWidget(Label("Filename of special item", name_));
  names->addWidget(name_, 1);
  names->addSpacing(12);
  names->addWidget(Label("Instrument library", library_));
  names->addWidget(library_);

  noteEvent_ = new QRadioButton(QStringLiteral("Multiple note event"));
  noteEvent_->setObjectName(QStringLiteral("kind"));
  changeEvent_ = new QRadioButton(QStringLiteral("Relative change event"));
  changeEvent_->setObjectName(QStringLiteral("changeKind"));
  auto* kinds = new QButtonGroup(this);
  kinds->addButton(noteEvent_);
  kinds->addButton(changeEvent_);
  (record.kind == kRelativeChangeEvent ? changeEvent_ : noteEvent_)->setChecked(true);

  fields_ = {{"fileName", name_}, {"instrumentLibrary", library_}, {"kind", noteEvent_}};
  noteControls_ = BuildNoteEvent();
  changeControls_ = BuildChangeEvent();

  QDialogButtonBox* buttons = OkCancelHelp(this, topic::kEditSpecial);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(names);
  layout->addWidget(noteEvent_);
  layout->addWidget(noteControls_);
  layout->addWidget(changeEvent_);
  layout->addWidget(changeControls_);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(noteEvent_, &QRadioButton::toggled, this, &EditSpecialDialog::stabilize);
  stabilize();
  name_->setFocus();
}

QLineEdit* EditSpecialDialog::AddNumber(const std::string& key, std::int32_t value) {
  QLineEdit* edit = MakeNumberEdit(key);
  edit->setText(QString::number(value));
  numbers_.emplace_back(key, edit);
  fields_[key] = edit;
  return edit;
}

QCheckBox* EditSpecialDialog::AddFlag(const std::string& key, const char* text,
                                      std::int32_t value) {
  auto* check = new QCheckBox(QString::fromLatin1(text));
  check->setObjectName(QString::fromStdString(key));
  check->setChecked(value != 0);
  flags_.emplace_back(key, check);
  fields_[key] = check;
  return check;
}

QWidget* EditSpecialDialog::BuildNoteEvent() {
  auto* part = new QWidget;
  auto* grid = new QGridLayout(part);
  grid->setContentsMargins(24, 0, 0, 0);
  int row = 0;
  for (const StepRow& r : kStepRows) {
    for (std::size_t i = 0; i < kPatternSteps; ++i) {
      const std::string key = r.key + std::to_string(i + 1);
      QLineEdit* edit = AddNumber(key, (record_.*(r.steps))[i]);
      if (i == 0) grid->addWidget(Label(r.label, edit), row, 0);
      grid->addWidget(edit, row, static_cast<int>(i) + 1);
    }
    grid->addWidget(new QLabel(QString::fromLatin1(r.unit)), row,
                    static_cast<int>(kPatternSteps) + 1);
    ++row;
  }
  auto* repeat = new QHBoxLayout;
  repeat->addWidget(AddFlag("repeated", "Repeated pattern", record_.repeated));
  repeat->addSpacing(24);
  QLineEdit* minimum = AddNumber("minimumDuration", record_.minimumDuration);
  repeat->addWidget(Label("Minimum duration used", minimum));
  repeat->addWidget(minimum);
  repeat->addStretch();
  grid->addLayout(repeat, row, 0, 1, static_cast<int>(kPatternSteps) + 2);
  return part;
}

QWidget* EditSpecialDialog::BuildChangeEvent() {
  auto* part = new QWidget;
  auto* layout = new QVBoxLayout(part);
  layout->setContentsMargins(24, 0, 0, 0);

  auto* change = new QGroupBox(QStringLiteral("Increase / decrease"));
  auto* changeRow = new QHBoxLayout(change);
  changeRow->addWidget(AddFlag("changeVelocity", "Velocity", record_.changeVelocity));
  changeRow->addWidget(AddFlag("changeTempo", "Tempo", record_.changeTempo));
  changeRow->addWidget(AddFlag("changeBender", "Bender", record_.changeBender));
  changeRow->addWidget(AddFlag("changeController", "Controller Type", record_.changeController));
  changeRow->addWidget(AddNumber("controllerNumber", record_.controllerNumber));
  changeRow->addStretch();
  layout->addWidget(change);

  untilSymbol_ = new QLineEdit(FromCoreText(record_.untilSymbol));
  untilSymbol_->setObjectName(QStringLiteral("untilSymbol"));
  untilSymbol_->setMaxLength(static_cast<int>(kMaxUntilSymbol));
  fields_["untilSymbol"] = untilSymbol_;
  auto* until = new QHBoxLayout;
  until->addWidget(Label("Until symbol", untilSymbol_));
  until->addWidget(untilSymbol_, 1);
  until->addSpacing(12);
  QLineEdit* offset = AddNumber("offset", record_.offset);
  until->addWidget(Label("or offset by", offset));
  until->addWidget(offset);
  until->addWidget(new QLabel(QStringLiteral("%")));
  layout->addLayout(until);
  layout->addWidget(AddFlag("revert", "Revert to original settings", record_.revert));
  return part;
}

void EditSpecialDialog::stabilize() {
  // Both kinds keep their values; only the chosen kind's controls can be changed.
  const bool notes = noteEvent_->isChecked();
  noteControls_->setEnabled(notes);
  changeControls_->setEnabled(!notes);
}

bool EditSpecialDialog::Collect(SpecialRecord& r) {
  r = record_;
  r.fileName = ToCoreText(name_->text(), record_.fileName);
  r.instrumentLibrary = library_->currentData().toInt();
  r.kind = noteEvent_->isChecked() ? kMultipleNoteEvent : kRelativeChangeEvent;
  for (const auto& [key, edit] : numbers_) {
    if (SetField(r, key, edit->text().trimmed().toStdString())) continue;
    // A box of the other kind keeps the value the record came with.
    if (!edit->isEnabled()) continue;
    RefuseField(doc_.host, edit, kEnterInteger);
    return false;
  }
  for (const auto& [key, check] : flags_) SetField(r, key, check->isChecked() ? "1" : "0");
  r.untilSymbol = ToCoreText(untilSymbol_->text(), record_.untilSymbol);
  return true;
}

void EditSpecialDialog::accept() {
  SpecialRecord r;
  if (!Collect(r)) return;
  FieldError refused;
  std::string fileName;
  if (!doc_.specials.SaveSpecial(r, refused, &fileName)) {
    // Without a field the core has shown its own message (a file it could not read or write).
    if (!refused.field.empty()) RefuseField(doc_.host, fields_[refused.field], refused.text);
    return;
  }
  saved_ = SpecialEntry(fileName);
  QDialog::accept();
}

}  // namespace vellumix::gui
