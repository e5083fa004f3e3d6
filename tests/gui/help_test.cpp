// The help pages and the help window: every topic has a real page, every link leads somewhere,
// and the window opens at the topic, follows links and stays usable beside a modal dialog.
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>
#include <memory>

#include "help/help.h"

using namespace vellumix::gui;

namespace {

QString Page(const QString& file) {
  QFile page(":/help/" + file);
  if (!page.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(page.readAll());
}

QPushButton* Button(QWidget* window, const QString& text) {
  for (auto* button : window->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

QStringList Links(const QString& html) {
  QStringList links;
  static const QRegularExpression href("href=\"([^\"]*)\"");
  for (const auto& match : href.globalMatch(html)) links << match.captured(1);
  return links;
}

}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase() {
    HelpPageUrl({});  // the pages are linked in with the window's code
  }
  void cleanup() { delete CurrentHelpWindow(); }

  void everyTopicHasAPage_data() {
    QTest::addColumn<QString>("topic");
    for (const QString& topic : HelpTopics()) QTest::newRow(qPrintable(topic)) << topic;
  }

  void everyTopicHasAPage() {
    QFETCH(QString, topic);
    QCOMPARE(HelpPageUrl(topic), QUrl("qrc:/help/" + topic + ".html"));
    const QString html = Page(topic + ".html");
    QVERIFY2(!html.isEmpty(), qPrintable(topic));
    QTextDocument document;
    document.setHtml(html);
    QVERIFY(!document.metaInformation(QTextDocument::DocumentTitle).isEmpty());
    // Short, but a page that explains something.
    QVERIFY2(document.toPlainText().size() > 600, qPrintable(topic));
  }

  void linksResolve_data() { everyTopicHasAPage_data(); }

  void linksResolve() {
    QFETCH(QString, topic);
    for (const QString& link : Links(Page(topic + ".html"))) {
      const QUrl url = QUrl("qrc:/help/" + topic + ".html").resolved(QUrl(link));
      QVERIFY2(url.scheme() == "qrc", qPrintable(link));
      const QString target = Page(url.path().mid(QStringLiteral("/help/").size()));
      QVERIFY2(!target.isEmpty(), qPrintable(topic + ": " + link));
      if (url.hasFragment()) {
        QVERIFY2(target.contains("name=\"" + url.fragment() + "\""), qPrintable(link));
      }
    }
  }

  void indexLinksEveryTopic() {
    const QStringList links = Links(Page("index.html"));
    for (const QString& topic : HelpTopics()) {
      if (topic == topic::kIndex) continue;
      QVERIFY2(links.contains(topic + ".html"), qPrintable(topic));
    }
  }

  void showHelpOpensAndRaisesOneWindow() {
    ShowHelp(nullptr, topic::kOptions);
    HelpWindow* window = CurrentHelpWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->topic(), QString("options1"));
    QVERIFY(window->windowTitle().startsWith("Options"));

    ShowHelp(nullptr, topic::kEditMap);
    QCOMPARE(CurrentHelpWindow(), window);
    QCOMPARE(window->topic(), QString("editmap"));

    ShowHelp(nullptr, "no such topic");
    QCOMPARE(window->topic(), QString("index"));
    ShowHelp(nullptr, {});
    QCOMPARE(window->topic(), QString("index"));
  }

  void windowFollowsLinksAndGoesBack() {
    ShowHelp(nullptr, topic::kIndex);
    HelpWindow* window = CurrentHelpWindow();
    QTextBrowser* browser = window->browser();
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);  // the first link of the contents
    QTest::keyClick(browser, Qt::Key_Return);
    QCOMPARE(window->topic(), QString("setfilelist"));

    QVERIFY(Button(window, "Back")->isEnabled());
    Button(window, "Back")->click();
    QCOMPARE(window->topic(), QString("index"));

    ShowHelp(nullptr, topic::kSymbols);
    Button(window, "Contents")->click();
    QCOMPARE(window->topic(), QString("index"));
  }

  // Opened from a modal dialog the window belongs to it (so it takes clicks), and it stays
  // open on the main window when the dialog closes.
  void modalDialogHandsTheWindowBack() {
    QWidget main;
    main.show();
    ShowHelp(&main, topic::kIndex);
    QPointer<HelpWindow> window = CurrentHelpWindow();
    QCOMPARE(window->parentWidget(), &main);

    auto dialog = std::make_unique<QDialog>(&main);
    dialog->setModal(true);
    dialog->show();
    ShowHelp(dialog.get(), topic::kEditMapSetup);
    QCOMPARE(CurrentHelpWindow(), window.data());
    QCOMPARE(window->parentWidget(), dialog.get());
    QVERIFY(window->isVisible());

    dialog->accept();
    dialog.reset();
    QVERIFY(window);
    QCOMPARE(window->parentWidget(), &main);
    QVERIFY(window->isVisible());
    QCOMPARE(window->topic(), QString("editmapsetup"));
  }
};

QTEST_MAIN(HelpTest)
#include "help_test.moc"
