#include "library/edit_map_setup_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_instrument_dialog.h"
#include "library/edit_map_dialog.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

QPushButton* Button(const char* key, const char* text) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  button->setObjectName(QLatin1String(key));
  button->setAutoDefault(false);
  return button;
}

}  // namespace

std::optional<std::string> EditMapSetup(QWidget* parent, CVellumixDoc& doc, const std::string& name,
                                        const QString& caption) {
  MapSetup setup;
  if (!name.empty()) {
    auto read = ReadMapSetup(doc.host, doc.library.LibraryFolder, name);
    if (!read) return std::nullopt;
    setup = std::move(*read);
  }
  EditMapSetupDialog dialog(doc, setup, caption, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.savedName();
}

EditMapSetupDialog::EditMapSetupDialog(CVellumixDoc& doc, const MapSetup& setup,
                                       const QString& caption, QWidget* parent)
    : QDialog(parent), doc_(doc), setup_(setup) {
  setWindowTitle(caption);
  name_ = new QLineEdit(FromCoreText(setup.name));
  name_->setObjectName(QStringLiteral("name"));
  maps_ = new QTreeWidget;
  maps_->setObjectName(QStringLiteral("maps"));
  maps_->setRootIsDecorated(false);
  maps_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  maps_->setHeaderLabels({QStringLiteral("Instrument"), QStringLiteral("Pitch"),
                          QStringLiteral("maps to"), QStringLiteral("Channel")});
  maps_->header()->setStretchLastSection(false);
  maps_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < 4; ++column)
    maps_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  refill(0);
  maps_->clearSelection();

  auto* newButton = Button("newMap", "New Map...");
  edit_ = Button("editMap", "Edit Map...");
  delete_ = Button("deleteMap", "Delete Map");
  auto* side = new QVBoxLayout;
  for (QPushButton* b : {newButton, edit_, delete_}) side->addWidget(b);
  side->addStretch();

  auto* nameLabel = new QLabel(QStringLiteral("Map Setup Name"));
  nameLabel->setBuddy(name_);
  auto* mapsLabel = new QLabel(QStringLiteral("Maps"));
  mapsLabel->setBuddy(maps_);
  auto* grid = new QGridLayout;
  grid->addWidget(nameLabel, 0, 0);
  grid->addWidget(name_, 0, 1);
  grid->addWidget(mapsLabel, 1, 0, 1, 2);
  grid->addWidget(maps_, 2, 0, 1, 2);
  grid->addLayout(side, 2, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancelHelp(this, topic::kEditMapSetup));

  connect(newButton, &QPushButton::clicked, this, &EditMapSetupDialog::newMap);
  connect(edit_, &QPushButton::clicked, this, &EditMapSetupDialog::editMap);
  connect(delete_, &QPushButton::clicked, this, &EditMapSetupDialog::deleteMaps);
  connect(maps_, &QTreeWidget::itemSelectionChanged, this, &EditMapSetupDialog::stabilize);
  connect(maps_, &QTreeWidget::itemDoubleClicked, this, &EditMapSetupDialog::editMap);
  stabilize();
  resize(500, 340);
  name_->setFocus();
}

void EditMapSetupDialog::refill(std::size_t current) {
  maps_->clear();
  for (std::size_t i = 0; i < setup_.Count(); ++i) {
    const MapSetup::Map m = setup_.At(i);
    auto* item =
        new QTreeWidgetItem(maps_, {FromCoreText(m.name), QString::fromStdString(NoteName(m.pitch)),
                                    QString::fromStdString(NoteName(m.playedPitch)),
                                    m.channel == 0 ? QString() : QString::number(m.channel)});
    if (i == current) maps_->setCurrentItem(item);
  }
}

void EditMapSetupDialog::newMap() {
  const MapSetup::Map blank{{}, -1, -1, 0};
  if (auto map = EditMap(this, doc_.host, blank, QStringLiteral("New Map")))
    refill(setup_.Insert(*map));
}

void EditMapSetupDialog::editMap() {
  const auto selected = maps_->selectedItems();
  if (selected.size() != 1) return;
  const auto i = static_cast<std::size_t>(maps_->indexOfTopLevelItem(selected.front()));
  const MapSetup::Map old = setup_.At(i);
  if (auto map =
          EditMap(this, doc_.host, old, QStringLiteral("Edit %1").arg(FromCoreText(old.name))))
    refill(setup_.Edit(i, *map));
}

void EditMapSetupDialog::deleteMaps() {
  std::vector<std::size_t> positions;
  for (QTreeWidgetItem* item : maps_->selectedItems())
    positions.push_back(static_cast<std::size_t>(maps_->indexOfTopLevelItem(item)));
  if (positions.empty()) return;
  if (!doc_.host.AskYesNo(0, res::kConfirmDeleteFiles)) return;
  setup_.Remove(positions);
  refill(setup_.Count());
  stabilize();
}

void EditMapSetupDialog::stabilize() {
  const auto selected = maps_->selectedItems().size();
  edit_->setEnabled(selected == 1);
  delete_->setEnabled(selected >= 1);
}

void EditMapSetupDialog::accept() {
  MapSetup s = setup_;
  s.name = ToCoreText(name_->text(), setup_.name);
  if (auto bad = ValidateMapSetup(s)) {
    RefuseField(doc_.host, bad->field == "name" ? static_cast<QWidget*>(name_) : maps_, bad->text);
    return;
  }
  if (!WriteMapSetup(doc_.host, doc_.library.LibraryFolder, s)) return;
  savedName_ = s.name;
  QDialog::accept();
}

}  // namespace vellumix::gui
