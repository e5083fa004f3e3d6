#include "library/edit_map_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "app/text.h"
#include "help/help.h"
#include "library/edit_instrument_dialog.h"
#include "platform/host.h"

namespace vellumix::gui {
namespace {

// The 128 note names, `note` chosen (none outside 0 to 127); the label shows the number chosen.
QListWidget* NoteList(const char* key, int note, QLabel* number) {
  auto* list = new QListWidget;
  list->setObjectName(QLatin1String(key));
  for (int n = 0; n <= 127; ++n) list->addItem(QString::fromStdString(NoteName(n)));
  number->setObjectName(QLatin1String(key) + QStringLiteral("Number"));
  number->setMinimumWidth(number->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
  QObject::connect(list, &QListWidget::currentRowChanged, number, [number](int row) {
    number->setText(row < 0 ? QString() : QString::number(row));
  });
  if (note >= 0 && note <= 127) {
    list->setCurrentRow(note);
    list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtCenter);
  }
  list->setMinimumHeight(list->sizeHintForRow(0) * 10);
  list->setFixedWidth(list->fontMetrics().horizontalAdvance(QStringLiteral("C#10")) * 2 + 24);
  return list;
}

QLabel* Label(const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setBuddy(buddy);
  return label;
}

}  // namespace

std::optional<MapSetup::Map> EditMap(QWidget* parent, Host& host, const MapSetup::Map& map,
                                     const QString& caption) {
  EditMapDialog dialog(host, map, caption, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.map();
}

EditMapDialog::EditMapDialog(Host& host, const MapSetup::Map& map, const QString& caption,
                             QWidget* parent)
    : QDialog(parent), host_(host), map_(map) {
  setWindowTitle(caption);
  name_ = new QLineEdit(FromCoreText(map.name));
  name_->setObjectName(QStringLiteral("name"));
  pitchNumber_ = new QLabel;
  pitch_ = NoteList("pitch", map.pitch, pitchNumber_);
  playedNumber_ = new QLabel;
  played_ = NoteList("playedPitch", map.playedPitch, playedNumber_);
  channel_ = new QComboBox;
  channel_->setObjectName(QStringLiteral("channel"));
  channel_->addItem(QString(), 0);  // the instrument's own channel
  for (int c = 1; c <= kMaxMapChannel; ++c) channel_->addItem(QString::number(c), c);
  const int chosen = channel_->findData(map.channel);
  if (chosen < 0) channel_->addItem(QString::number(map.channel), map.channel);
  channel_->setCurrentIndex(chosen < 0 ? channel_->count() - 1 : chosen);

  auto* grid = new QGridLayout;
  grid->addWidget(Label("Instrument", name_), 0, 0);
  grid->addWidget(name_, 0, 1, 1, 4);
  grid->addWidget(Label("Pitch", pitch_), 1, 0, Qt::AlignTop);
  grid->addWidget(pitch_, 1, 1);
  grid->addWidget(pitchNumber_, 1, 2, Qt::AlignTop);
  grid->addWidget(Label("maps to", played_), 1, 3, Qt::AlignTop);
  grid->addWidget(played_, 1, 4);
  grid->addWidget(playedNumber_, 1, 5, Qt::AlignTop);
  auto* channelRow = new QHBoxLayout;
  channelRow->addWidget(Label("Use Midi Channel", channel_));
  channelRow->addWidget(channel_);
  channelRow->addStretch();
  grid->addLayout(channelRow, 2, 0, 1, 6);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(OkCancelHelp(this, topic::kEditMap));
  layout->setSizeConstraint(QLayout::SetFixedSize);
  name_->setFocus();
}

void EditMapDialog::accept() {
  MapSetup::Map m;
  m.name = ToCoreText(name_->text(), map_.name);
  m.pitch = pitch_->currentItem() != nullptr ? pitch_->currentRow() : -1;
  m.playedPitch = played_->currentItem() != nullptr ? played_->currentRow() : -1;
  m.channel = channel_->currentData().toInt();
  if (auto bad = ValidateMap(m)) {
    QWidget* field = bad->field == "pitch"         ? static_cast<QWidget*>(pitch_)
                     : bad->field == "playedPitch" ? static_cast<QWidget*>(played_)
                                                   : static_cast<QWidget*>(channel_);
    RefuseField(host_, field, bad->text);
    return;
  }
  map_ = m;
  QDialog::accept();
}

}  // namespace vellumix::gui
