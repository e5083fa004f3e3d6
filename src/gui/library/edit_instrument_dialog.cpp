#include "library/edit_instrument_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/text.h"
#include "help/help.h"
#include "library/instrument_list.h"
#include "library/percussion_maps.h"
#include "platform/host.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

constexpr int kPositionRole = Qt::UserRole;  // the list position a record keeps

QLabel* Label(const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setBuddy(buddy);
  return label;
}

QComboBox* Choices(const char* key, const std::vector<std::string>& texts) {
  auto* box = new QComboBox;
  box->setObjectName(QLatin1String(key));
  for (std::size_t i = 0; i < texts.size(); ++i)
    box->addItem(FromCoreText(texts[i]), static_cast<int>(i));
  return box;
}

// Chooses the entry of `position`; a position the list lacks stays an entry of its own, so that
// OK keeps the record's value rather than changing it unseen.
void ChoosePosition(QComboBox* box, std::int32_t position) {
  int index = box->findData(position, kPositionRole);
  if (index < 0) {
    box->addItem(QString::number(position), position);
    index = box->count() - 1;
  }
  box->setCurrentIndex(index);
}

std::vector<std::string> Numbered(int count) {
  std::vector<std::string> out;
  for (int i = 1; i <= count; ++i) out.push_back(std::to_string(i));
  return out;
}

}  // namespace

StepEdit::StepEdit(const std::string& key, FieldLimits limits, std::int32_t value, QWidget* parent)
    : QWidget(parent), edit_(new QLineEdit(QString::number(value))), limits_(limits) {
  edit_->setObjectName(QString::fromStdString(key));
  // Room for "-16383" and a little more.
  edit_->setFixedWidth(edit_->fontMetrics().horizontalAdvance(QStringLiteral("-000000")) + 12);
  setFocusProxy(edit_);
  auto* up = new QToolButton;
  up->setArrowType(Qt::UpArrow);
  up->setObjectName(QString::fromStdString(key + "Up"));
  auto* down = new QToolButton;
  down->setArrowType(Qt::DownArrow);
  down->setObjectName(QString::fromStdString(key + "Down"));
  for (QToolButton* b : {up, down}) {
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(edit_->sizeHint().height() * 2 / 3, edit_->sizeHint().height() / 2);
  }
  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(0);
  buttons->addWidget(up);
  buttons->addWidget(down);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(1);
  row->addWidget(edit_);
  row->addLayout(buttons);
  row->addStretch();
  connect(up, &QToolButton::clicked, this, [this] { step(1); });
  connect(down, &QToolButton::clicked, this, [this] { step(-1); });
}

void StepEdit::step(int delta) {
  const auto value = ParseInt32(edit_->text().trimmed().toStdString());
  if (!value) return;
  const std::int64_t next = std::int64_t{*value} + delta;
  edit_->setText(QString::number(std::clamp<std::int64_t>(next, limits_.min, limits_.max)));
}

std::optional<std::string> EditInstrument(QWidget* parent, CVellumixDoc& doc,
                                          const InstrumentRecord& record, const QString& caption) {
  const auto lines = ReadInstrumentList(doc.host, doc.library.LibraryFolder);
  if (!lines) return std::nullopt;
  EditInstrumentDialog dialog(doc, *lines, record, caption, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.savedName();
}

EditInstrumentDialog::EditInstrumentDialog(CVellumixDoc& doc,
                                           const std::vector<std::string>& libraries,
                                           const InstrumentRecord& record, const QString& caption,
                                           QWidget* parent)
    : QDialog(parent), doc_(doc), record_(record), libraries_(libraries) {
  setWindowTitle(caption);

  staveName_ = new QLineEdit(FromCoreText(record.staveName));
  staveName_->setObjectName(QStringLiteral("staveName"));
  library_ = Choices("instrumentLibrary", libraries);
  ChoosePosition(library_, record.instrumentLibrary);
  port_ = Choices("port", Numbered(kPortChoices));
  ChoosePosition(port_, record.port);
  channel_ = Choices("channel", Numbered(kChannelChoices));
  ChoosePosition(channel_, record.channel);
  bankProgram_ = new QComboBox;
  bankProgram_->setObjectName(QStringLiteral("bankProgram"));
  bankProgram_->setMinimumContentsLength(24);
  bankProgram_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  fillBankProgram(record.bankProgram);
  convertLyrics_ = new QCheckBox(QStringLiteral("Convert lyrics"));
  convertLyrics_->setObjectName(QStringLiteral("convertLyrics"));
  convertLyrics_->setChecked(record.convertLyrics != 0);
  useMap_ = new QCheckBox(QStringLiteral("Use Percussion Map"));
  useMap_->setObjectName(QStringLiteral("usePercussionMap"));
  useMap_->setChecked(record.usePercussionMap != 0);
  map_ = new QComboBox;
  map_->setObjectName(QStringLiteral("percussionMap"));
  const auto maps = MapSetupChoices(doc.library.LibraryFolder);
  for (const auto& name : maps) map_->addItem(FromCoreText(name), QByteArray::fromStdString(name));
  map_->setCurrentIndex(MapChoice(maps, record));

  const std::pair<const char*, std::int32_t> numbers[] = {{"staveId", record.staveId},
                                                          {"pan", record.pan},
                                                          {"volume", record.volume},
                                                          {"transposition", record.transposition}};
  for (const auto& [key, value] : numbers)
    numbers_.emplace_back(key, new StepEdit(key, *InstrumentFieldLimits(key), value));
  StepEdit* staveId = numbers_[0].second;

  auto* grid = new QGridLayout;
  grid->addWidget(Label("Stave name", staveName_), 0, 0);
  grid->addWidget(staveName_, 0, 1, 1, 3);
  grid->addWidget(Label("Stave ID no.", staveId->edit()), 1, 0);
  grid->addWidget(staveId, 1, 1);
  grid->addWidget(Label("Instrument library", library_), 2, 0);
  grid->addWidget(library_, 2, 1, 1, 3);
  grid->addWidget(Label("Port", port_), 3, 0);
  grid->addWidget(port_, 3, 1, Qt::AlignLeft);
  grid->addWidget(Label("Channel", channel_), 3, 2);
  grid->addWidget(channel_, 3, 3, Qt::AlignLeft);
  grid->addWidget(Label("Bank/Program", bankProgram_), 4, 0);
  grid->addWidget(bankProgram_, 4, 1, 1, 3);
  const char* labels[] = {"Pan", "Volume", "Transpose"};
  for (int i = 0; i < 3; ++i) {
    StepEdit* step = numbers_[static_cast<std::size_t>(i + 1)].second;
    grid->addWidget(Label(labels[i], step->edit()), 5 + i, 0);
    grid->addWidget(step, 5 + i, 1);
  }
  grid->addWidget(convertLyrics_, 5, 2, 1, 2);
  grid->addWidget(useMap_, 6, 2, 1, 2);
  auto* mapRow = new QHBoxLayout;
  mapRow->addWidget(Label("Map", map_));
  mapRow->addWidget(map_, 1);
  grid->addLayout(mapRow, 7, 2, 1, 2);
  grid->setColumnStretch(3, 1);

  fields_ = {{"staveName", staveName_},
             {"instrumentLibrary", library_},
             {"port", port_},
             {"channel", channel_},
             {"bankProgram", bankProgram_},
             {"convertLyrics", convertLyrics_},
             {"usePercussionMap", useMap_},
             {"percussionMap", map_},
             {"percussionMapName", map_}};
  for (const auto& [key, step] : numbers_) fields_[key] = step;

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancelHelp(this, topic::kEditInstrument));
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(library_, &QComboBox::currentIndexChanged, this, [this] { fillBankProgram(0); });
  connect(useMap_, &QCheckBox::toggled, this, &EditInstrumentDialog::stabilize);
  stabilize();
  staveName_->setFocus();
}

void EditInstrumentDialog::fillBankProgram(std::int32_t position) {
  bankProgram_->clear();
  const std::int32_t library = library_->currentData(kPositionRole).toInt();
  const auto entries = ReadBankProgramList(doc_.host, doc_.library.LibraryFolder,
                                           BankProgramListName(libraries_, library));
  if (!entries) return;
  for (std::size_t i = 0; i < entries->size(); ++i)
    bankProgram_->addItem(FromCoreText((*entries)[i]), static_cast<int>(i));
  if (!entries->empty()) ChoosePosition(bankProgram_, position);
}

void EditInstrumentDialog::stabilize() {
  map_->setEnabled(useMap_->isChecked());
}

void EditInstrumentDialog::accept() {
  InstrumentRecord r = record_;
  if (auto refusal =
          TakeFieldText(r, "staveName", ToCoreText(staveName_->text(), record_.staveName))) {
    RefuseField(doc_.host, staveName_, *refusal);
    return;
  }
  for (const auto& [key, step] : numbers_) {
    if (auto refusal = TakeFieldText(r, key, step->edit()->text().toStdString())) {
      RefuseField(doc_.host, step, *refusal);
      return;
    }
  }
  r.instrumentLibrary = library_->currentData(kPositionRole).toInt();
  r.port = port_->currentData(kPositionRole).toInt();
  r.channel = channel_->currentData(kPositionRole).toInt();
  // Without a list to choose from (its file is missing), the position stays as it was.
  if (bankProgram_->currentIndex() >= 0)
    r.bankProgram = bankProgram_->currentData(kPositionRole).toInt();
  r.convertLyrics = convertLyrics_->isChecked() ? 1 : 0;
  r.usePercussionMap = useMap_->isChecked() ? 1 : 0;
  if (map_->currentIndex() >= 0) {
    r.percussionMap = map_->currentIndex();
    r.percussionMapName = map_->currentData().toByteArray().toStdString();
  }
  if (auto bad = ValidateInstrument(r)) {
    auto field = fields_.find(bad->field);
    RefuseField(doc_.host, field == fields_.end() ? nullptr : field->second, bad->text);
    return;
  }
  if (!WriteInstrument(doc_.host, doc_.library.LibraryFolder, r)) return;
  savedName_ = InstrumentName(r.staveName, r.staveId);
  QDialog::accept();
}

}  // namespace vellumix::gui
