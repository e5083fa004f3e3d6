#include "help/help.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "app/text.h"
#include "res/strings.h"

// The pages live in a static library: its resources are only linked when something names them.
static void InitHelpResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(help);
    return true;
  }();
  (void)done;
}

namespace vellumix::gui {

namespace {

QPointer<HelpWindow> gWindow;

}  // namespace

QStringList HelpTopics() {
  return {topic::kIndex,
          topic::kFileList,
          topic::kOptions,
          topic::kDefaults,
          topic::kSymbols,
          topic::kEditSymbol,
          topic::kSpecials,
          topic::kEditSpecial,
          topic::kTemplates,
          topic::kEditTemplate,
          topic::kEditInstrument,
          topic::kEditBankProgram,
          topic::kLibraryPath,
          topic::kPercussionMaps,
          topic::kEditMapSetup,
          topic::kEditMap,
          topic::kNoInitialTimeSignature,
          topic::kMultipleTimeSignatures,
          topic::kStandard};
}

QUrl HelpPageUrl(const QString& name) {
  InitHelpResources();
  return QUrl(QStringLiteral("qrc:/help/%1.html").arg(name.isEmpty() ? topic::kIndex : name));
}

void ShowHelp(QWidget* parent, const QString& name) {
  QWidget* owner = parent ? parent->window() : nullptr;
  if (!gWindow) {
    gWindow = new HelpWindow;
    // Nothing else owns it while it has no owner window.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, gWindow.data(), &QObject::deleteLater);
  }
  gWindow->setOwner(owner);
  gWindow->showTopic(name);
  gWindow->show();
  gWindow->raise();
  gWindow->activateWindow();
}

HelpWindow* CurrentHelpWindow() {
  return gWindow.data();
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  InitHelpResources();
  setObjectName(QStringLiteral("helpWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  // Help left open must not keep the program alive once the main window is closed.
  setAttribute(Qt::WA_QuitOnClose, false);

  auto* contents = new QPushButton(QStringLiteral("Contents"));
  back_ = new QPushButton(QStringLiteral("Back"));
  forward_ = new QPushButton(QStringLiteral("Forward"));
  back_->setEnabled(false);
  forward_->setEnabled(false);
  browser_ = new QTextBrowser;
  browser_->setOpenExternalLinks(true);
  // The pages link their style sheet for other browsers; this one only takes it as a default.
  QFile style(QStringLiteral(":/help/help.css"));
  if (style.open(QIODevice::ReadOnly)) {
    browser_->document()->setDefaultStyleSheet(QString::fromUtf8(style.readAll()));
  }

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addWidget(back_);
  buttons->addWidget(forward_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_);
  resize(640, 560);

  connect(contents, &QPushButton::clicked, this, [this] { showTopic(topic::kIndex); });
  connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::sourceChanged, this, &HelpWindow::updateTitle);
  updateTitle();
}

void HelpWindow::showTopic(const QString& name) {
  QUrl url = HelpPageUrl(name);
  if (!QFileInfo::exists(QLatin1Char(':') + url.path())) url = HelpPageUrl(topic::kIndex);
  browser_->setSource(url);
}

QString HelpWindow::topic() const {
  return QFileInfo(browser_->source().path()).completeBaseName();
}

void HelpWindow::setOwner(QWidget* owner) {
  if (owner == owner_ && parentWidget() == owner) return;
  if (owner_) owner_->removeEventFilter(this);
  const bool wasVisible = isVisible();
  const QRect place = geometry();
  setParent(owner, windowFlags());  // hides the window
  owner_ = owner;
  if (owner_) owner_->installEventFilter(this);
  if (wasVisible) {
    setGeometry(place);
    show();
  }
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
  // A dialog that closes hands the help window on to the window below it, rather than taking the
  // page the user is reading with it.
  if (watched == owner_ && event->type() == QEvent::Hide && qobject_cast<QDialog*>(owner_)) {
    QWidget* below = owner_->parentWidget();
    setOwner(below ? below->window() : nullptr);
  }
  return QWidget::eventFilter(watched, event);
}

void HelpWindow::updateTitle() {
  const QString help = FromCoreText(res::Text(res::kTitle)) + " Help";
  const QString page = browser_->documentTitle();
  setWindowTitle(page.isEmpty() ? help : page + " - " + help);
}

}  // namespace vellumix::gui
