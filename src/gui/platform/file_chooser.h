// The file choosers of the desktop program, behind an interface so that tests can script them.
#pragma once

#include <QString>

class QWidget;

namespace vellumix::gui {

class FileChooser {
 public:
  virtual ~FileChooser() = default;
  // The path of an existing file the user chose, or an empty string when they cancelled.
  virtual QString OpenFile(QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter) = 0;
  // The path to write that the user chose, or an empty string when they cancelled. With
  // `confirmOverwrite` the chooser asks before a file is replaced; without, the caller does.
  virtual QString SaveFile(QWidget* parent, const QString& caption, const QString& folder,
                           const QString& filter, const QString& defaultSuffix,
                           bool confirmOverwrite) = 0;
};

// QFileDialog's own (non-native) dialogs, which behave alike on every desktop.
class DialogFileChooser : public FileChooser {
 public:
  QString OpenFile(QWidget* parent, const QString& caption, const QString& folder,
                   const QString& filter) override;
  QString SaveFile(QWidget* parent, const QString& caption, const QString& folder,
                   const QString& filter, const QString& defaultSuffix,
                   bool confirmOverwrite) override;
};

}  // namespace vellumix::gui
