// The library commands of the main window: the picture buttons and the Library menu open the
// library dialogs, which read and write the library through the core.
#include "run/document.h"

#include <QAction>

#include "app/main_window.h"
#include "app/picture_button.h"
#include "library/bank_program_dialog.h"
#include "library/defaults_dialog.h"
#include "library/library_path_dialog.h"
#include "library/options_dialog.h"
#include "library/percussion_maps_dialog.h"
#include "library/select_template_dialog.h"
#include "library/specials_dialog.h"
#include "library/symbols_dialog.h"
#include "library/text_editor.h"

namespace vellumix::gui {

using view::Command;
using view::Control;

void MainWindow::BuildLibraryCommands() {
  struct Entry {
    Command command;
    Control button;  // kTranscribeButton: a menu command only
    std::function<void()> open;
    bool duringRun = false;  // it only starts another program
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
      {Command::kTemplates, Control::kTemplatesButton,
       [this] {
         // A template deleted or renamed in the dialog may have been the selected one.
         RunSelectTemplateDialog(this, doc_);
         SetTemplateText();
       }},
      {Command::kEditInstrumentList, Control::kTranscribeButton,
       [this] { RunEditInstrumentList(this, doc_); }, true},
      {Command::kEditBankProgramList, Control::kTranscribeButton,
       [this] { RunEditBankProgramList(this, doc_); }, true},
      {Command::kEditPercussionMaps, Control::kTranscribeButton,
       [this] { RunPercussionMapsDialog(this, doc_); }},
  };
  for (const Entry& entry : entries) {
    auto open = [this, open = entry.open, duringRun = entry.duringRun] {
      if (duringRun || !RunActive()) open();
    };
    connect(actions_[entry.command], &QAction::triggered, this, open);
    if (entry.button != Control::kTranscribeButton)
      connect(static_cast<PictureButton*>(FormControl(entry.button)), &QAbstractButton::clicked,
              this, open);
  }
}

}  // namespace vellumix::gui
