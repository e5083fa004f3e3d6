#include "library/library_path_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kFolderRole = Qt::UserRole;  // the sub-folder's own bytes; empty for the data folder

}  // namespace

bool RunLibraryPathDialog(QWidget* parent, CVellumixDoc& doc) {
  doc.library.ReadPrefs();
  LibraryPathDialog dialog(doc, parent);
  return dialog.exec() == QDialog::Accepted;
}

LibraryPathDialog::LibraryPathDialog(CVellumixDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), paths_(new QComboBox) {
  setWindowTitle(QStringLiteral("Library Path"));
  paths_->setObjectName(QStringLiteral("paths"));
  paths_->setMinimumContentsLength(40);
  paths_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  auto* label = new QLabel(QStringLiteral("Selected Library Path"));
  label->setBuddy(paths_);

  // In the order New Path, OK, Cancel, whatever the desktop's usual order.
  auto* newPath = new QPushButton(QStringLiteral("New Path"));
  newPath->setObjectName(QStringLiteral("newPath"));
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"));
  connect(newPath, &QPushButton::clicked, this, &LibraryPathDialog::NewPath);
  connect(ok, &QPushButton::clicked, this, &LibraryPathDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &LibraryPathDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (QPushButton* button : {newPath, ok, cancel}) buttons->addWidget(button);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(paths_);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this,
          [this] { ShowHelp(this, QString::fromLatin1(topic::kLibraryPath)); });

  Fill();
}

void LibraryPathDialog::Fill() {
  const SettingsLibrary& library = doc_.library;
  paths_->clear();
  // The data folder can't be a "[.]" entry of the listing: folders are listed without dot entries.
  paths_->addItem(QStringLiteral("[.] (%1)").arg(FromCoreText(library.UserDataFolder)),
                  QByteArray());
  for (const std::string& name : library.LibraryFolderChoices()) {
    paths_->addItem(QStringLiteral("[%1]").arg(FromCoreText(name)),
                    QByteArray::fromStdString(name));
  }

  int current = -1;
  const std::string& folder = library.LibraryFolder;
  const std::string& data = library.UserDataFolder;
  if (folder == data) {
    current = 0;
  } else if (folder.size() > data.size() + 1 && folder.compare(0, data.size(), data) == 0) {
    const std::string name = folder.substr(data.size(), folder.size() - data.size() - 1);
    current = paths_->findData(QByteArray::fromStdString(name), kFolderRole);
  }
  paths_->setCurrentIndex(current);
}

std::optional<std::string> LibraryPathDialog::SelectedFolder() const {
  if (paths_->currentIndex() < 0) return std::nullopt;
  return paths_->currentData(kFolderRole).toByteArray().toStdString();
}

void LibraryPathDialog::NewPath() {
  NewPathDialog ask(this);
  if (ask.exec() != QDialog::Accepted) return;
  // A refused name has been reported; the list is filled again either way, as it may have changed.
  doc_.library.CreateLibraryFolder(ToCorePath(ask.Name()));
  Fill();
}

void LibraryPathDialog::accept() {
  // Without a selection (the library folder has gone) OK changes nothing.
  if (const auto folder = SelectedFolder()) doc_.library.ChooseLibraryFolder(*folder, true);
  QDialog::accept();
}

NewPathDialog::NewPathDialog(QWidget* parent) : QDialog(parent), name_(new QLineEdit) {
  setWindowTitle(FromCoreText(res::kEnterLibraryPathName));
  name_->setObjectName(QStringLiteral("name"));
  auto* note = new QLabel(FromCoreText(res::kNewLibraryPathNote));
  note->setObjectName(QStringLiteral("note"));
  note->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &NewPathDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &NewPathDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name_);
  layout->addWidget(note);
  layout->addWidget(buttons);
  resize(360, sizeHint().height());
}

QString NewPathDialog::Name() const {
  return name_->text();
}

}  // namespace vellumix::gui
