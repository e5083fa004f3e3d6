#include "library/text_editor.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "library/instrument_list.h"
#include "library/templates.h"
#include "res/strings.h"
#include "run/document.h"

namespace vellumix::gui {
namespace {

TextEditorLauncher* replacement = nullptr;

}  // namespace

bool DesktopTextEditor::Open(const std::string& path) {
  const QString file = QString::fromStdString(path);
  QStringList visual = QProcess::splitCommand(qEnvironmentVariable("VISUAL"));
  if (!visual.isEmpty()) {
    const QString program = visual.takeFirst();
    return QProcess::startDetached(program, visual << file);
  }
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

TextEditorLauncher& CurrentTextEditor() {
  static DesktopTextEditor desktop;
  return replacement != nullptr ? *replacement : desktop;
}

void SetTextEditor(TextEditorLauncher* launcher) {
  replacement = launcher;
}

bool EditLibraryTextFile(Host& host, const std::string& folder, const std::string& fileName) {
  const auto path = PrepareTextFile(host, folder, fileName);
  if (!path) return false;
  if (CurrentTextEditor().Open(*path)) return true;
  ShowMessage(host, res::kNoProgramOpens, *path);
  return false;
}

bool RunEditInstrumentList(QWidget*, CVellumixDoc& doc) {
  return EditLibraryTextFile(doc.host, doc.library.LibraryFolder, kInstrumentListFile);
}

}  // namespace vellumix::gui
