// The file list dialog of the Transcribe command: the user collects the SCORE files of a run.
#pragma once

#include <QString>
#include <string>
#include <vector>

class QWidget;

namespace vellumix {
class CVellumixDoc;
class Host;
}  // namespace vellumix

namespace vellumix::gui {

class FileChooser;

// What the dialog keeps from one showing to the next while the program runs (never saved).
struct FileListState {
  std::vector<std::string> entries;  // file group entries, "path count"
  int filterIndex = 1;               // the file filter last chosen, counted from 1
  QString folder;                    // the folder last browsed
  QString pendingListName;           // a list file just loaded: shown once, then forgotten
};

// How a Transcribe command's file list ended.
enum class FileListOutcome {
  kTranscribe,  // run these entries
  kNothing,     // a list file was loaded or saved and the reopened dialog was left: no run, but
                // nothing was cancelled either
  kCancelled,   // the user cancelled
};

// Shows the file list dialog with the kept list; Load Filelist and Save Filelist read or write a
// list file through `chooser` and open the dialog again, until the user leaves it with Transcribe
// or Cancel. On kTranscribe `entries` holds the list to transcribe. Messages go through `host`;
// the grouping, sorting and explorer-form rules follow the document's options.
FileListOutcome RunFileListDialog(QWidget* parent, CVellumixDoc& doc, Host& host,
                                  FileChooser& chooser, FileListState& kept,
                                  std::vector<std::string>& entries);

}  // namespace vellumix::gui
