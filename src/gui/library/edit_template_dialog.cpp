#include "library/edit_template_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_instrument_dialog.h"
#include "platform/files.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kNameRole = Qt::UserRole;  // the instrument's name as the core spells it

QListWidgetItem* Item(const std::string& name) {
  auto* item = new QListWidgetItem(FromCoreText(name));
  item->setData(kNameRole, QByteArray::fromStdString(name));
  return item;
}

std::string NameOf(const QListWidgetItem* item) {
  return item->data(kNameRole).toByteArray().toStdString();
}

QListWidget* List(const char* key) {
  auto* list = new QListWidget;
  list->setObjectName(QLatin1String(key));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  return list;
}

QPushButton* Button(const char* key, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  button->setObjectName(QLatin1String(key));
  button->setAutoDefault(false);
  return button;
}

QLabel* Label(const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setBuddy(buddy);
  return label;
}

}  // namespace

std::optional<std::string> EditTemplate(QWidget* parent, CVellumixDoc& doc, const std::string& name,
                                        const QString& caption) {
  TemplateRecord record;
  if (!name.empty()) {
    auto read = ReadTemplate(doc.host, doc.library.LibraryFolder, name);
    if (!read) return std::nullopt;
    record = std::move(*read);
    record.instruments =
        ReadableInstruments(doc.host, doc.library.LibraryFolder, record.instruments);
  }
  EditTemplateDialog dialog(doc, record, caption, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.savedName();
}

EditTemplateDialog::EditTemplateDialog(CVellumixDoc& doc, const TemplateRecord& record,
                                       const QString& caption, QWidget* parent)
    : QDialog(parent), doc_(doc), record_(record) {
  setWindowTitle(caption);

  name_ = new QLineEdit(FromCoreText(record.name));
  name_->setObjectName(QStringLiteral("name"));
  tempo_ = new StepEdit("defaultTempo", kTemplateTempoLimits, record.defaultTempo);
  library_ = List("libraryInstruments");
  for (const auto& name : InstrumentChoices(doc.library.LibraryFolder))
    library_->addItem(Item(name));
  template_ = List("templateInstruments");
  for (const auto& name : record.instruments) template_->addItem(Item(name));

  auto* newButton = Button("newInstrument", "New Instrument...");
  edit_ = Button("editInstrument", "Edit Instrument...");
  delete_ = Button("deleteInstrument", "Delete Instrument");
  add_ = Button("addInstrument", "Add Instrument");
  remove_ = Button("removeInstrument", "Remove Instrument");

  auto* top = new QGridLayout;
  top->addWidget(Label("Template name", name_), 0, 0);
  top->addWidget(name_, 0, 1, 1, 2);
  top->addWidget(Label("Default tempo", tempo_->edit()), 1, 0);
  auto* tempoRow = new QHBoxLayout;
  tempoRow->addWidget(tempo_);
  tempoRow->addWidget(new QLabel(QStringLiteral("bpm")));
  tempoRow->addStretch();
  top->addLayout(tempoRow, 1, 1);
  top->setColumnStretch(2, 1);

  auto* middle = new QVBoxLayout;
  middle->addStretch();
  for (QPushButton* b : {newButton, edit_, delete_}) middle->addWidget(b);
  middle->addSpacing(16);
  for (QPushButton* b : {add_, remove_}) middle->addWidget(b);
  middle->addStretch();

  auto* lists = new QGridLayout;
  lists->addWidget(Label("Instruments in library", library_), 0, 0);
  lists->addWidget(Label("Instruments in template", template_), 0, 2);
  lists->addWidget(library_, 1, 0);
  lists->addLayout(middle, 1, 1);
  lists->addWidget(template_, 1, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(lists);
  layout->addWidget(OkCancelHelp(this, topic::kEditTemplate));

  connect(newButton, &QPushButton::clicked, this, &EditTemplateDialog::newInstrument);
  connect(edit_, &QPushButton::clicked, this, &EditTemplateDialog::editInstrument);
  connect(delete_, &QPushButton::clicked, this, &EditTemplateDialog::deleteInstruments);
  connect(add_, &QPushButton::clicked, this, &EditTemplateDialog::addInstruments);
  connect(remove_, &QPushButton::clicked, this, &EditTemplateDialog::removeInstruments);
  for (QListWidget* list : {library_, template_}) {
    connect(list, &QListWidget::itemSelectionChanged, this, &EditTemplateDialog::stabilize);
    connect(list, &QListWidget::itemDoubleClicked, this, &EditTemplateDialog::edit);
  }
  stabilize();
  resize(620, 380);
  name_->setFocus();
}

QListWidgetItem* EditTemplateDialog::listInLibrary(const std::string& name) {
  int row = 0;
  for (; row < library_->count(); ++row) {
    const std::string listed = NameOf(library_->item(row));
    if (files::EqualNoCase(listed, name)) return library_->item(row);
    if (files::LessNoCase(name, listed)) break;
  }
  library_->insertItem(row, Item(name));
  return library_->item(row);
}

QListWidgetItem* EditTemplateDialog::selectedInstrument() const {
  for (QListWidget* list : {library_, template_}) {
    const auto selected = list->selectedItems();
    if (selected.size() == 1) return selected.front();
  }
  return nullptr;
}

void EditTemplateDialog::newInstrument() {
  if (auto saved = EditInstrument(this, doc_, InstrumentRecord{}, QStringLiteral("New Instrument")))
    library_->setCurrentItem(listInLibrary(*saved));
}

void EditTemplateDialog::editInstrument() {
  if (QListWidgetItem* item = selectedInstrument()) edit(item);
}

void EditTemplateDialog::edit(QListWidgetItem* item) {
  const std::string name = NameOf(item);
  const auto record = ReadInstrument(doc_.host, doc_.library.LibraryFolder, name);
  if (!record) return;
  const auto saved =
      EditInstrument(this, doc_, *record, QStringLiteral("Edit %1").arg(item->text()));
  if (!saved) return;
  listInLibrary(*saved);
  if (item->listWidget() == template_ && *saved != name) {
    item->setText(FromCoreText(*saved));
    item->setData(kNameRole, QByteArray::fromStdString(*saved));
  }
}

void EditTemplateDialog::deleteInstruments() {
  const auto selected = library_->selectedItems();
  if (selected.isEmpty()) return;
  if (!doc_.host.AskYesNo(0, res::kConfirmDeleteFiles)) return;
  for (QListWidgetItem* item : selected) {
    const std::string name = NameOf(item);
    if (!DeleteInstrument(doc_.host, doc_.library.LibraryFolder, name)) continue;
    // A template naming a deleted instrument could not be loaded.
    for (int row = template_->count() - 1; row >= 0; --row)
      if (files::EqualNoCase(NameOf(template_->item(row)), name)) delete template_->takeItem(row);
    delete item;
  }
  stabilize();
}

void EditTemplateDialog::addInstruments() {
  for (int row = 0; row < library_->count(); ++row)
    if (library_->item(row)->isSelected()) template_->addItem(Item(NameOf(library_->item(row))));
}

void EditTemplateDialog::removeInstruments() {
  qDeleteAll(template_->selectedItems());
  stabilize();
}

void EditTemplateDialog::stabilize() {
  const auto inLibrary = library_->selectedItems().size();
  edit_->setEnabled(selectedInstrument() != nullptr);
  delete_->setEnabled(inLibrary >= 1);
  add_->setEnabled(inLibrary >= 1);
  remove_->setEnabled(!template_->selectedItems().isEmpty());
}

void EditTemplateDialog::accept() {
  TemplateRecord r = record_;
  if (auto refusal = TakeFieldText(r, "name", ToCoreText(name_->text(), record_.name))) {
    RefuseField(doc_.host, name_, *refusal);
    return;
  }
  if (auto refusal = TakeFieldText(r, "defaultTempo", tempo_->edit()->text().toStdString())) {
    RefuseField(doc_.host, tempo_, *refusal);
    return;
  }
  r.instruments.clear();
  for (int row = 0; row < template_->count(); ++row)
    r.instruments.push_back(NameOf(template_->item(row)));
  if (auto bad = ValidateTemplate(r)) {
    QWidget* field = bad->field == "name"           ? static_cast<QWidget*>(name_)
                     : bad->field == "defaultTempo" ? static_cast<QWidget*>(tempo_)
                                                    : static_cast<QWidget*>(template_);
    RefuseField(doc_.host, field, bad->text);
    return;
  }
  if (!WriteTemplate(doc_.host, doc_.library.LibraryFolder, r)) return;
  savedName_ = r.name;
  QDialog::accept();
}

}  // namespace vellumix::gui
