#include "library/edit_symbol_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kLibraryRole = Qt::UserRole;  // the library number a list entry stands for
constexpr int kChoiceRole = Qt::UserRole;   // a Special choice as the record keeps it

// The rule fields: what a symbol does to the notes after it.
struct RuleField {
  const char* key;
  const char* label;
  const char* unit;
  std::int32_t SymbolRecord::*member;
};

const RuleField kRuleFields[] = {
    {"duration", "Duration offset", "%", &SymbolRecord::duration},
    {"pitchOffset", "Pitch offset", "1/2 tones", &SymbolRecord::pitchOffset},
    {"velocityLevel", "Velocity level", "Midi units", &SymbolRecord::velocityLevel},
    {"velocityOffset", "Velocity offset", "Midi units", &SymbolRecord::velocityOffset},
    {"tempoLevel", "Tempo level", "mm", &SymbolRecord::tempoLevel},
    {"tempoOffset", "Tempo offset", "mm", &SymbolRecord::tempoOffset},
    {"bankProgram", "Bank/Program change", "", &SymbolRecord::bankProgram},
    {"bender", "Bender", "", &SymbolRecord::bender},
    {"controllerType", "Controller type", "", &SymbolRecord::controllerType},
    {"controllerValue", "Controller value", "", &SymbolRecord::controllerValue},
};
constexpr int kFirstColumnRows = 6;

QLineEdit* MakeTextEdit(const char* key, const std::string& text) {
  auto* edit = new QLineEdit(FromCoreText(text));
  edit->setObjectName(QLatin1String(key));
  return edit;
}

QLabel* Label(const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setBuddy(buddy);
  return label;
}

}  // namespace

QLineEdit* MakeNumberEdit(const std::string& key) {
  auto* edit = new QLineEdit;
  edit->setObjectName(QString::fromStdString(key));
  // Room for "-16383" and a little more.
  edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-000000")) + 12);
  return edit;
}

QComboBox* MakeLibraryChoices(const std::vector<std::string>& lines, int selected) {
  auto* box = new QComboBox;
  const auto choices = InstrumentLibraryChoices(lines);
  for (std::size_t i = 0; i < choices.size(); ++i)
    box->addItem(FromCoreText(choices[i]), static_cast<int>(i));
  if (selected < 0 || selected >= box->count()) box->addItem(QString::number(selected), selected);
  box->setCurrentIndex(box->findData(selected));
  return box;
}

std::optional<SavedSymbol> EditSymbol(QWidget* parent, CVellumixDoc& doc,
                                      const SymbolRecord& record, const QString& caption) {
  const auto lines = ReadInstrumentList(doc.host, doc.library.LibraryFolder);
  if (!lines) return std::nullopt;
  EditSymbolDialog dialog(doc, *lines, record, caption, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.saved();
}

EditSymbolDialog::EditSymbolDialog(CVellumixDoc& doc, const std::vector<std::string>& libraries,
                                   const SymbolRecord& record, const QString& caption,
                                   QWidget* parent)
    : QDialog(parent), doc_(doc), record_(record) {
  setWindowTitle(caption);

  code9_ = new QRadioButton(QStringLiteral("Code 9 Symbol"));
  text_ = new QRadioButton(QStringLiteral("Code 16 Text"));
  code9_->setObjectName(QStringLiteral("kind"));
  text_->setObjectName(QStringLiteral("textKind"));
  auto* kinds = new QButtonGroup(this);
  kinds->addButton(code9_);
  kinds->addButton(text_);
  (record.kind == kTextSymbol ? text_ : code9_)->setChecked(true);

  number_ = MakeNumberEdit("number");
  number_->setText(QString::number(record.number));
  name_ = MakeTextEdit("name", record.name);
  code9Library_ = MakeLibraryChoices(libraries, record.code9Library);
  code9Library_->setObjectName(QStringLiteral("code9Library"));
  textEdit_ = MakeTextEdit("text", record.text);
  textLibrary_ = MakeLibraryChoices(libraries, record.textLibrary);
  textLibrary_->setObjectName(QStringLiteral("textLibrary"));

  auto* symbol = new QGroupBox;
  auto* kindGrid = new QGridLayout(symbol);
  kindGrid->addWidget(code9_, 0, 0);
  kindGrid->addWidget(Label("Symbol number", number_), 0, 1);
  kindGrid->addWidget(number_, 0, 2);
  kindGrid->addWidget(Label("Name", name_), 0, 3);
  kindGrid->addWidget(name_, 0, 4);
  kindGrid->addWidget(Label("Instrument library", code9Library_), 0, 5);
  kindGrid->addWidget(code9Library_, 0, 6);
  kindGrid->addWidget(text_, 1, 0);
  kindGrid->addWidget(Label("Text", textEdit_), 1, 3);
  kindGrid->addWidget(textEdit_, 1, 4);
  kindGrid->addWidget(Label("Instrument library", textLibrary_), 1, 5);
  kindGrid->addWidget(textLibrary_, 1, 6);
  kindGrid->setColumnStretch(4, 1);

  auto* rules = new QGroupBox;
  auto* ruleGrid = new QGridLayout(rules);
  int index = 0;
  for (const RuleField& f : kRuleFields) {
    QLineEdit* edit = MakeNumberEdit(f.key);
    edit->setText(QString::number(record.*(f.member)));
    numbers_.emplace_back(f.key, edit);
    const int row = index < kFirstColumnRows ? index : index - kFirstColumnRows;
    const int column = index < kFirstColumnRows ? 0 : 4;
    ruleGrid->addWidget(Label(f.label, edit), row, column);
    ruleGrid->addWidget(edit, row, column + 1);
    ruleGrid->addWidget(new QLabel(QString::fromLatin1(f.unit)), row, column + 2);
    ++index;
  }
  ruleGrid->setColumnMinimumWidth(3, 16);
  ruleGrid->setColumnStretch(3, 1);

  special_ = new QComboBox;
  special_->setObjectName(QStringLiteral("special"));
  for (const auto& choice : SpecialChoices(doc.library.LibraryFolder))
    special_->addItem(FromCoreText(choice), QByteArray::fromStdString(choice));
  // A special whose file is gone stays what the symbol names until the user picks another.
  const QByteArray current = QByteArray::fromStdString(SpecialChoice(record.special));
  if (special_->findData(current) < 0)
    special_->addItem(FromCoreText(current.toStdString()), current);
  special_->setCurrentIndex(special_->findData(current));
  const int specialRow = static_cast<int>(std::size(kRuleFields)) - kFirstColumnRows;
  ruleGrid->addWidget(Label("Special", special_), specialRow, 4);
  ruleGrid->addWidget(special_, specialRow, 5, 1, 2);
  permanent_ = new QCheckBox(QStringLiteral("Make settings permanent"));
  permanent_->setObjectName(QStringLiteral("permanent"));
  permanent_->setChecked(record.permanent != 0);
  ruleGrid->addWidget(permanent_, specialRow + 1, 4, 1, 3);

  fields_ = {{"kind", code9_},      {"number", number_},
             {"name", name_},       {"code9Library", code9Library_},
             {"text", textEdit_},   {"textLibrary", textLibrary_},
             {"special", special_}, {"permanent", permanent_}};
  for (const auto& [key, edit] : numbers_) fields_[key] = edit;

  QDialogButtonBox* buttons = OkCancelHelp(this, topic::kEditSymbol);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(symbol);
  layout->addWidget(rules);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(code9_, &QRadioButton::toggled, this, &EditSymbolDialog::stabilize);
  connect(special_, &QComboBox::currentIndexChanged, this, &EditSymbolDialog::stabilize);
  stabilize();
  (record.kind == kTextSymbol ? textEdit_ : number_)->setFocus();
}

void EditSymbolDialog::stabilize() {
  const bool code9 = code9_->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(number_), static_cast<QWidget*>(name_),
                     static_cast<QWidget*>(code9Library_)})
    w->setEnabled(code9);
  textEdit_->setEnabled(!code9);
  textLibrary_->setEnabled(!code9);
  // A special plays on its own: the plain rule values do not apply beside it.
  const bool plain = special_->currentData().toByteArray() == kSpecialNone;
  for (const auto& [key, edit] : numbers_) edit->setEnabled(plain);
  permanent_->setEnabled(plain);
}

bool EditSymbolDialog::Collect(SymbolRecord& r) {
  r = record_;
  r.kind = code9_->isChecked() ? kCode9Symbol : kTextSymbol;
  auto read = [&](const std::string& key, QLineEdit* edit) {
    if (SetField(r, key, edit->text().trimmed().toStdString())) return true;
    // A box the user can't reach keeps the value the record came with.
    if (!edit->isEnabled()) return true;
    RefuseField(doc_.host, edit, kEnterInteger);
    return false;
  };
  if (!read("number", number_)) return false;
  for (const auto& [key, edit] : numbers_)
    if (!read(key, edit)) return false;
  r.name = ToCoreText(name_->text(), record_.name);
  r.text = ToCoreText(textEdit_->text(), record_.text);
  r.code9Library = code9Library_->currentData(kLibraryRole).toInt();
  r.textLibrary = textLibrary_->currentData(kLibraryRole).toInt();
  r.special = special_->currentData(kChoiceRole).toByteArray().toStdString();
  r.permanent = permanent_->isChecked() ? 1 : 0;
  return true;
}

void EditSymbolDialog::accept() {
  SymbolRecord r;
  if (!Collect(r)) return;
  FieldError refused;
  std::string fileName;
  if (!doc_.symbols.SaveSymbol(r, refused, &fileName)) {
    // Without a field the core has shown its own message (a file it could not read or write).
    if (!refused.field.empty()) RefuseField(doc_.host, fields_[refused.field], refused.text);
    return;
  }
  saved_ = {SymbolEntry(fileName, r), r.kind == kCode9Symbol};
  QDialog::accept();
}

}  // namespace vellumix::gui
