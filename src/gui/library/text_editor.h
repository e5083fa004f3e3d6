// Starting the user's text editor on a library text file (INSTRUMENTS.DAT, a bank/program list),
// and the library commands that do so. The program never waits for the editor: the files are read
// again at the next run.
#pragma once

#include <memory>
#include <string>

class QWidget;

namespace vellumix {
class CVellumixDoc;
class Host;
}  // namespace vellumix

namespace vellumix::gui {

class TextEditorLauncher {
 public:
  virtual ~TextEditorLauncher() = default;
  // Starts an editor on `path` and returns at once; false when none could be started.
  virtual bool Open(const std::string& path) = 0;
};

// $VISUAL when it is set (a command line; the path is added as its last argument), else the
// desktop's default application for the file.
class DesktopTextEditor : public TextEditorLauncher {
 public:
  bool Open(const std::string& path) override;
};

// The launcher the library commands use: the desktop's, unless a test put in its own.
TextEditorLauncher& CurrentTextEditor();
// Replaces the launcher until it is set back with nullptr (tests).
void SetTextEditor(TextEditorLauncher* launcher);

// The library file `fileName` (created empty when missing) in the editor; "No program is set to
// open %s" when no editor could be started. False when nothing was started.
bool EditLibraryTextFile(Host& host, const std::string& folder, const std::string& fileName);

// "Edit Instrument List...": the editor on the library folder's INSTRUMENTS.DAT.
bool RunEditInstrumentList(QWidget* parent, CVellumixDoc& doc);

}  // namespace vellumix::gui
