// vellumix: the desktop program. The optional first argument is the user data folder.
#include "run/document.h"

#include <QApplication>
#include <QFileInfo>

#include "app/gui_host.h"
#include "app/main_window.h"
#include "app/presenter.h"
#include "app/text.h"
#include "platform/file_chooser.h"
#include "playback/fluid_sequencer.h"
#include "playback/qt_launcher.h"
#include "res/button_pictures.h"
#include "run/file_list.h"

int main(int argc, char** argv) {
  using namespace vellumix;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vellumix"));
  QApplication::setWindowIcon(gui::ProgramIcon());

  const QStringList args = QApplication::arguments();
  const std::string dataFolder =
      args.size() > 1 ? gui::ToCorePath(QFileInfo(args[1]).absoluteFilePath()) : std::string();

  gui::DialogPresenter presenter;
  gui::GuiHost host(presenter);
  CVellumixDoc doc(host);
  // A library that does not load whole has said why in its messages; the window opens all the
  // same, so that the user can choose another library folder.
  doc.Create(dataFolder, true);

  gui::DialogFileChooser chooser;
  // One synth and audio output for the program's life; without them Load and auto playback say
  // that there is no output device.
  playback::FluidSynthSequencer sequencer;
  gui::DesktopLauncher launcher;
  gui::MainWindow window(doc, host, chooser, gui::RunFileListDialog, sequencer, launcher);
  window.show();
  return QApplication::exec();
}
