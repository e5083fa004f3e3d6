#include "app/command_line.h"

#include <QFileInfo>
#include <algorithm>
#include <memory>
#include <utility>

#include "app/text.h"
#include "run/document.h"
#include "run/file_groups.h"
#include "run/file_list_dialog.h"

namespace vellumix::gui {
namespace {

bool NamedLikeScoreFile(const QFileInfo& info) {
  for (const FileFilter& filter : ScoreFileFilters(true)) {
    for (const QString& pattern : filter.patterns) {
      if (pattern.startsWith(QLatin1String("*.")) &&
          info.suffix().compare(pattern.mid(2), Qt::CaseInsensitive) == 0)
        return true;
    }
  }
  return false;
}

CommandLine Refused(const QString& error) {
  CommandLine line;
  line.action = CommandLine::Action::kUsageError;
  line.error = error;
  return line;
}

}  // namespace

CommandLine ReadCommandLine(const QStringList& arguments) {
  const qsizetype optionsEnd = arguments.indexOf(QStringLiteral("--"));
  const QStringList options = optionsEnd < 0 ? arguments : arguments.first(optionsEnd);
  CommandLine line;
  if (options.contains(QStringLiteral("-h")) || options.contains(QStringLiteral("--help"))) {
    line.action = CommandLine::Action::kHelp;
    return line;
  }
  if (options.contains(QStringLiteral("--version"))) {
    line.action = CommandLine::Action::kVersion;
    return line;
  }

  bool first = true;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (i == optionsEnd) continue;
    if ((optionsEnd < 0 || i < optionsEnd) && argument.startsWith(u'-'))
      return Refused(QStringLiteral("unknown option '%1'").arg(argument));
    if (argument.isEmpty()) return Refused(QStringLiteral("an empty argument names no file"));
    const QFileInfo info(argument);
    const bool firstArgument = std::exchange(first, false);
    if (info.isDir()) {
      if (!line.dataFolder.isEmpty())
        return Refused(QStringLiteral("%1 and %2: only one data folder can be given")
                           .arg(line.dataFolder, info.absoluteFilePath()));
      line.dataFolder = info.absoluteFilePath();
    } else if (info.isFile()) {
      line.files << info.absoluteFilePath();
    } else if (info.exists()) {
      return Refused(QStringLiteral("%1: not a regular file or a folder").arg(argument));
    } else if (firstArgument && !info.isSymLink() && !NamedLikeScoreFile(info)) {
      line.dataFolder = info.absoluteFilePath();
    } else {
      return Refused(QStringLiteral("%1: no such file").arg(argument));
    }
  }
  return line;
}

QString UsageText() {
  return QStringLiteral(
      "Usage: vellumix [OPTION]... [DATA-FOLDER] [SCORE-FILE]...\n"
      "Turn SCORE notation files into Standard MIDI Files, and play them, in a window.\n"
      "\n"
      "DATA-FOLDER is the user data folder to use instead of $XDG_DATA_HOME/vellumix3 (else\n"
      "~/.local/share/vellumix3): an existing folder, or a first argument that does not exist\n"
      "yet, which is then created. A folder without the factory library gets it.\n"
      "\n"
      "SCORE-FILEs are opened in the file list of Transcribe, added as files dropped on the\n"
      "list are.\n"
      "\n"
      "Options:\n"
      "  -h, --help     show this help and exit\n"
      "      --version  show the version and exit\n"
      "\n"
      "Qt's own options, such as -platform NAME and -style NAME, are understood too. An\n"
      "argument after -- is a file or folder even when it begins with -.\n"
      "\n"
      "Examples:\n"
      "  vellumix ~/scores/library      start with another data folder\n"
      "  vellumix minuet.mus trio.mus   transcribe two pages, each a page of its own\n");
}

QString VersionText() {
  return QStringLiteral("vellumix " VELLUMIX_VERSION "\n");
}

FileListStep OpeningFiles(FileListStep step, QStringList files) {
  auto pending = std::make_shared<QStringList>(std::move(files));
  return [step = std::move(step), pending](QWidget* parent, CVellumixDoc& doc, Host& host,
                                           FileChooser& chooser, FileListState& kept,
                                           std::vector<std::string>& entries) {
    if (!pending->isEmpty()) {
      for (auto& entry : FileEntries(*pending, doc.onePerPage))
        kept.entries.push_back(std::move(entry));
      kept.folder = QFileInfo(pending->front()).absolutePath();
      pending->clear();
    }
    return step(parent, doc, host, chooser, kept, entries);
  };
}

}  // namespace vellumix::gui
