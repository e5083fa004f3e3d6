// vellumix: the desktop program. Its command line names a data folder and SCORE files to open.
#include "run/document.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "app/command_line.h"
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
  using Action = gui::CommandLine::Action;
  {
    // --help and --version answer without a display, so they are read before Qt looks for one
    // (Qt's own options are still among the arguments here, which is why only they count).
    QStringList raw;
    for (int i = 1; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    const Action early = gui::ReadCommandLine(raw).action;
    if (early == Action::kHelp || early == Action::kVersion) {
      const QByteArray text =
          (early == Action::kHelp ? gui::UsageText() : gui::VersionText()).toLocal8Bit();
      std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("vellumix"));
  // Ties the window to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.vellumix.vellumix"));
  QApplication::setWindowIcon(gui::ProgramIcon());

  const gui::CommandLine line = gui::ReadCommandLine(QApplication::arguments().mid(1));
  if (line.action == Action::kUsageError) {
    std::fprintf(stderr, "vellumix: %s\nTry 'vellumix --help' for more information.\n",
                 line.error.toLocal8Bit().constData());
    return 2;
  }

  gui::DialogPresenter presenter;
  gui::GuiHost host(presenter);
  CVellumixDoc doc(host);
  // A library that does not load whole has said why in its messages; the window opens all the
  // same, so that the user can choose another library folder.
  doc.Create(line.dataFolder.isEmpty() ? std::string() : gui::ToCorePath(line.dataFolder), true);

  gui::DialogFileChooser chooser;
  // One synth and audio output for the program's life; without them Load and auto playback say
  // that there is no output device.
  playback::FluidSynthSequencer sequencer;
  gui::DesktopLauncher launcher;
  gui::FileListStep fileList = gui::RunFileListDialog;
  if (!line.files.isEmpty()) fileList = gui::OpeningFiles(fileList, line.files);
  gui::MainWindow window(doc, host, chooser, fileList, sequencer, launcher);
  window.show();
  // Files from the command line (a file manager's "Open with") go straight to the file list.
  if (!line.files.isEmpty())
    QTimer::singleShot(0, window.CommandAction(view::Command::kTranscribe), &QAction::trigger);
  return QApplication::exec();
}
