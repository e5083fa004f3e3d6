#include "playback/qt_launcher.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>

#include "app/text.h"

namespace vellumix::gui {

bool DesktopLauncher::OpenWithAssociation(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(FromCoreText(path)));
}

bool DesktopLauncher::StartProgram(const std::string& program, const std::string& path) {
  QStringList words = QProcess::splitCommand(FromCoreText(program));
  if (words.isEmpty()) return false;
  const QString name = words.takeFirst();
  words << FromCoreText(path);
  return QProcess::startDetached(name, words);
}

}  // namespace vellumix::gui
