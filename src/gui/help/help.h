// The program's help: one HTML page a topic, compiled in, shown in a help window of our own.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace vellumix::gui {

// The topics windows open; each is the page "<topic>.html".
namespace topic {
inline constexpr char kIndex[] = "index";  // the start page: F1 in the main window, Help Index
inline constexpr char kFileList[] = "setfilelist";
inline constexpr char kOptions[] = "options1";
inline constexpr char kDefaults[] = "defaults1";
inline constexpr char kSymbols[] = "symbols1";
inline constexpr char kEditSymbol[] = "neweditsymbol";
inline constexpr char kSpecials[] = "specials1";
inline constexpr char kEditSpecial[] = "neweditspecials";
inline constexpr char kTemplates[] = "templates1";
inline constexpr char kEditTemplate[] = "newedittemplate";
inline constexpr char kEditInstrument[] = "neweditinstrument";
inline constexpr char kEditBankProgram[] = "editbankprogram";
inline constexpr char kLibraryPath[] = "librarypath";
inline constexpr char kPercussionMaps[] = "editpercussionmaps";
inline constexpr char kEditMapSetup[] = "editmapsetup";
inline constexpr char kEditMap[] = "editmap";
inline constexpr char kNoInitialTimeSignature[] = "noinitialtimesignature";
inline constexpr char kMultipleTimeSignatures[] = "multipletimesignatures";
inline constexpr char kStandard[] =
    "standard";  // questions during a run without a page of their own
}  // namespace topic

// Every topic above, the start page first.
QStringList HelpTopics();
// The page of `topic` among the program's resources ("qrc:/help/options1.html"); the start page
// for an empty topic.
QUrl HelpPageUrl(const QString& topic);

class HelpWindow;

// Opens the help window at `topic` (the start page for an empty or unknown one), or brings the
// open one forward. It belongs to parent's window while that is shown, so that it can be read and
// clicked beside a modal dialog, and outlives the dialog.
void ShowHelp(QWidget* parent, const QString& topic);
// The help window, while one is open.
HelpWindow* CurrentHelpWindow();

class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  void showTopic(const QString& topic);
  // The topic of the page shown, e.g. "options1".
  QString topic() const;
  QTextBrowser* browser() const { return browser_; }
  // The window the help window belongs to from now on; nullptr for none.
  void setOwner(QWidget* owner);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void updateTitle();

  QTextBrowser* browser_;
  QPushButton* back_;
  QPushButton* forward_;
  QPointer<QWidget> owner_;
};

}  // namespace vellumix::gui
