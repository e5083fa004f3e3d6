// The library commands of the main window: the picture buttons and the Library menu open the
// library dialogs, which read and write the library through the core.
#include "run/document.h"

#include <QAction>

#include "app/main_window.h"
#include "app/picture_button.h"
#include "library/defaults_dialog.h"
#include "library/library_path_dialog.h"
#include "library/options_dialog.h"
#include "library/specials_dialog.h"
#include "library/symbols_dialog.h"

namespace vellumix::gui {

using view::Command;
using view::Control;

void MainWindow::BuildLibraryCommands() {
  struct Entry {
    Command command;
    Control button;  // kTranscribeButton: a menu command only
    std::function<void()> open;
  };
  const Entry entries[] = {
      {Command::kOptions, Control::kOptionsButton,
       [this] {
         // Read Old Data depends on "Delete .tmp files after transcription".
         if (RunOptionsDialog(this, doc_)) UpdateCommands();
       }},
      {Command::kDefaults, Control::kDefaultsButton, [this] { RunDefaultsDialog(this, doc_); }},
      {Command::kSymbols, Control::kSymbolsButton, [this] { RunSymbolsDialog(this, doc_); }},
      {Command::kSpecials, Control::kSpecialsButton, [this] { RunSpecialsDialog(this, doc_); }},
      {Command::kLibraryPath, Control::kTranscribeButton,
       [this] {
         // Another library brings its own template and options.
         if (RunLibraryPathDialog(this, doc_)) {
           SetTemplateText();
           UpdateCommands();
         }
       }},
  };
  for (const Entry& entry : entries) {
    auto open = [this, open = entry.open] {
      if (!RunActive()) open();
    };
    connect(actions_[entry.command], &QAction::triggered, this, open);
    if (entry.button != Control::kTranscribeButton)
      connect(static_cast<PictureButton*>(FormControl(entry.button)), &QAbstractButton::clicked,
              this, open);
  }
}

}  // namespace vellumix::gui
