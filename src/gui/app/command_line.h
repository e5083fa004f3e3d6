// The desktop program's command line: an optional data folder and SCORE files to open.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "app/main_window.h"

namespace vellumix::gui {

struct CommandLine {
  enum class Action { kRun, kHelp, kVersion, kUsageError };
  Action action = Action::kRun;
  QString dataFolder;  // absolute; empty for the user data folder
  QStringList files;   // absolute paths of the SCORE files to open in the file list
  QString error;       // kUsageError: what is wrong
};

// Reads `arguments` (without the program's name; Qt takes out its own options). --help and
// --version win wherever they stand before "--". An existing folder is the data folder, and so is
// a first argument that does not exist yet unless it is named like a SCORE file: a data folder is
// created when it is missing. An existing file is a SCORE file to open.
CommandLine ReadCommandLine(const QStringList& arguments);

QString UsageText();
QString VersionText();

// `step`, whose first showing starts with `files` added to the list, browsing the folder of the
// first of them.
FileListStep OpeningFiles(FileListStep step, QStringList files);

}  // namespace vellumix::gui
