// The notation questions: texts, starting values, what OK refuses and where the focus goes,
// Cancel, the multiple-systems answers, the beep and the help topics.
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "help/help.h"
#include "questions/questions.h"

using vellumix::TimeSignatureQuestion;
using namespace vellumix::gui;

namespace {

// Owns the waits of the test running, so that a wait left over cannot answer the next test.
QObject& Pending() {
  static QObject pending;
  return pending;
}

// Calls `answer` with the next modal window other than `under` once it is up (a dialog's exec()
// or a message box over it).
void OnNextModal(std::function<void(QWidget*)> answer, QWidget* under = nullptr) {
  auto* timer = new QTimer(&Pending());
  const QDeadlineTimer deadline(5000);
  QObject::connect(timer, &QTimer::timeout, [=] {
    QWidget* modal = QApplication::activeModalWidget();
    const bool ready = modal != nullptr && modal != under;
    if (!ready && !deadline.hasExpired()) return;
    timer->stop();
    timer->deleteLater();
    if (ready) answer(modal);
  });
  timer->start(10);
}

QPushButton* Button(QWidget* dialog, const QString& text) {
  for (auto* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

QLineEdit* Field(QWidget* dialog, const char* name) {
  return dialog->findChild<QLineEdit*>(QString::fromLatin1(name));
}

// A message box the dialog put up, read and closed.
struct Box {
  QString title;
  QString text;
};

std::shared_ptr<Box> AnswerNextBox(QWidget* under = nullptr) {
  auto box = std::make_shared<Box>();
  OnNextModal(
      [box](QWidget* modal) {
        auto* messageBox = qobject_cast<QMessageBox*>(modal);
        if (!messageBox) return;
        box->title = messageBox->windowTitle();
        box->text = messageBox->text();
        messageBox->accept();
      },
      under);
  return box;
}

enum class Kind { kNoInitial, kMultiple, kUnsupported, kAnacrusis, kSystems };

QuestionDialog* Make(Kind kind, const QString& text) {
  switch (kind) {
    case Kind::kNoInitial:
      return new TimeSignatureDialog(TimeSignatureQuestion::kNoInitial, text, 4, 4);
    case Kind::kMultiple:
      return new TimeSignatureDialog(TimeSignatureQuestion::kMultiple, text, 4, 4);
    case Kind::kUnsupported:
      return new TimeSignatureDialog(TimeSignatureQuestion::kUnsupported, text, 4, 4);
    case Kind::kAnacrusis:
      return new AnacrusisDialog(text, 4.0f);
    case Kind::kSystems:
      break;
  }
  return new MultipleSystemsDialog(text);
}

void RefusedRow(const char* name, const char* first, const char* second, const char* message,
                const char* focus) {
  QTest::newRow(name) << QString(first) << QString(second) << QString(message) << QString(focus);
}

}  // namespace

class QuestionsTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void cleanup() {
    qDeleteAll(Pending().children());
    delete CurrentHelpWindow();
  }

  void eachQuestion_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("controls");
    QTest::addColumn<int>("beeps");
    QTest::addColumn<QString>("topic");
    const QStringList timeSignature{"Top Number", "Bottom number", "OK", "Cancel", "Help..."};
    QTest::newRow("no initial") << Kind::kNoInitial << "No Initial Time Signature!" << timeSignature
                                << 1 << "noinitialtimesignature";
    QTest::newRow("multiple") << Kind::kMultiple << "Multiple Time Signatures!" << timeSignature
                              << 1 << "multipletimesignatures";
    QTest::newRow("unsupported") << Kind::kUnsupported << "Time Signature Not Supported!"
                                 << timeSignature << 1 << "standard";
    QTest::newRow("anacrusis") << Kind::kAnacrusis << "New Instrument Found!"
                               << QStringList{"No. of beats in bar 1", "OK", "Cancel", "Help..."}
                               << 1 << "standard";
    QTest::newRow("systems") << Kind::kSystems << "Multiple Systems"
                             << QStringList{"Don't show this window again", "Yes", "No"} << 0
                             << "standard";
  }

  // Caption, the core's message, the controls, the beep on opening, and F1 (from the field being
  // typed in) and Help... opening the question's topic.
  void eachQuestion() {
    QFETCH(Kind, kind);
    QFETCH(QString, caption);
    QFETCH(QStringList, controls);
    QFETCH(int, beeps);
    QFETCH(QString, topic);
    std::unique_ptr<QuestionDialog> dialog(Make(kind, "Message 38"));
    int beeped = 0;
    dialog->setBeep([&] { ++beeped; });
    QCOMPARE(dialog->windowTitle(), caption);
    QCOMPARE(dialog->findChild<QLabel*>("message")->text(), QString("Message 38"));
    QStringList texts;
    for (auto* label : dialog->findChildren<QLabel*>()) texts << label->text();
    for (auto* button : dialog->findChildren<QAbstractButton*>()) texts << button->text();
    for (const QString& control : controls) QVERIFY2(texts.contains(control), qPrintable(control));
    QCOMPARE(texts.contains("Help..."), controls.contains("Help..."));

    dialog->show();
    dialog->hide();
    dialog->show();  // once when the question appears, not again
    QCOMPARE(beeped, beeps);

    QWidget* typing = dialog->findChild<QLineEdit*>();
    QTest::keyClick(typing ? typing : dialog.get(), Qt::Key_F1);
    QVERIFY(CurrentHelpWindow() && CurrentHelpWindow()->isVisible());
    QCOMPARE(CurrentHelpWindow()->topic(), topic);
    if (QPushButton* help = Button(dialog.get(), "Help...")) {
      CurrentHelpWindow()->showTopic("index");
      help->click();
      QCOMPARE(CurrentHelpWindow()->topic(), topic);
    }
  }

  void startingValues() {
    TimeSignatureDialog multiple(TimeSignatureQuestion::kMultiple, "", 3, 8);
    QCOMPARE(Field(&multiple, "top")->text(), QString("3"));
    QCOMPARE(Field(&multiple, "bottom")->text(), QString("8"));
    QCOMPARE(Field(&multiple, "top")->selectedText(), QString("3"));  // typing replaces it
    using Shown = std::pair<float, const char*>;
    for (const auto& [beats, shown] :
         {Shown{4.0f, "4"}, Shown{3.5f, "3.5"}, Shown{0.125f, "0.125"}}) {
      AnacrusisDialog anacrusis("", beats);
      QCOMPARE(Field(&anacrusis, "beats")->text(), QString(shown));
    }
    QVERIFY(!MultipleSystemsDialog("").dontShowAgain());
  }

  void refusedAnswers_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    RefusedRow("top 0", "0", "4", "Enter an integer between 1 and 32.", "top");
    RefusedRow("top 33", "33", "4", "Enter an integer between 1 and 32.", "top");
    RefusedRow("top not a number", "three", "4", "Enter an integer.", "top");
    RefusedRow("bottom 65", "3", "65", "Enter an integer between 2 and 64.", "bottom");
    RefusedRow("bottom empty", "3", "", "Enter an integer.", "bottom");
    RefusedRow("bottom 3", "5", "3",
               "The lower number in time signature 5/3 is not valid. Please enter again.",
               "bottom");
    RefusedRow("beats 0.1", "0.1", "", "Enter a number between 0.125 and 20.", "beats");
    RefusedRow("beats 20.5", "20.5", "", "Enter a number between 0.125 and 20.", "beats");
    RefusedRow("beats not a number", "4 beats", "", "Enter a number.", "beats");
  }

  // The message box, and the focus back on the refused field with its text selected.
  void refusedAnswers() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    const bool anacrusis = focus == "beats";
    std::unique_ptr<QuestionDialog> dialog(
        Make(anacrusis ? Kind::kAnacrusis : Kind::kUnsupported, ""));
    Field(dialog.get(), anacrusis ? "beats" : "top")->setText(first);
    if (!anacrusis) Field(dialog.get(), "bottom")->setText(second);
    dialog->setBeep({});
    dialog->show();
    Field(dialog.get(), anacrusis ? "beats" : "bottom")->setFocus();

    auto box = AnswerNextBox();
    Button(dialog.get(), "OK")->click();
    QCOMPARE(box->text, message);
    QCOMPARE(box->title, QString("VELLUMIX"));
    QVERIFY(dialog->isVisible());
    QLineEdit* refused = Field(dialog.get(), qPrintable(focus));
    QCOMPARE(dialog->focusWidget(), refused);
    QCOMPARE(refused->selectedText(), refused->text());
  }

  // Through the function the GUI host calls: the refused bottom number keeps the same dialog
  // open, and the corrected answer is the one returned.
  void bottomNumberRefusedThenCorrected() {
    auto box = std::make_shared<Box>();
    bool stayedOpen = false;
    OnNextModal([&](QWidget* dialog) {
      qobject_cast<QuestionDialog*>(dialog)->setBeep({});
      Field(dialog, "top")->setText("5");
      Field(dialog, "bottom")->setText("3");
      box = AnswerNextBox(dialog);
      Button(dialog, "OK")->click();
      stayedOpen = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
      Field(dialog, "bottom")->setText("8");
      Button(dialog, "OK")->click();
    });
    int top = 5;
    int bottom = 8;
    QVERIFY(AskTimeSignature(nullptr, TimeSignatureQuestion::kUnsupported, "5/12", top, bottom));
    QCOMPARE(box->text,
             QString("The lower number in time signature 5/3 is not valid. Please enter again."));
    QVERIFY(stayedOpen);
    QCOMPARE(top, 5);
    QCOMPARE(bottom, 8);
  }

  void okAndCancel() {
    OnNextModal([](QWidget* dialog) {
      Field(dialog, "beats")->setText(" 1.5 ");
      QTest::keyClick(Field(dialog, "beats"), Qt::Key_Return);  // OK is the default button
    });
    float beats = 4.0f;
    QVERIFY(AskAnacrusis(nullptr, "", beats));
    QCOMPARE(beats, 1.5f);

    OnNextModal([](QWidget* dialog) {
      Field(dialog, "beats")->setText("2");
      QTest::keyClick(Field(dialog, "beats"), Qt::Key_Escape);
    });
    QVERIFY(!AskAnacrusis(nullptr, "", beats));
    QCOMPARE(beats, 1.5f);

    OnNextModal([](QWidget* dialog) {
      Field(dialog, "top")->setText("7");
      Button(dialog, "Cancel")->click();
    });
    int top = 3;
    int bottom = 4;
    QVERIFY(!AskTimeSignature(nullptr, TimeSignatureQuestion::kMultiple, "", top, bottom));
    QCOMPARE(top, 3);
    QCOMPARE(bottom, 4);
  }

  void multipleSystemsAnswers_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("tick");
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << "yes" << false << true;
    QTest::newRow("yes, don't show again") << "yes" << true << true;
    QTest::newRow("no") << "no" << false << false;
    QTest::newRow("no, box ticked") << "no" << true << false;
    QTest::newRow("escape is no") << "escape" << false << false;
  }

  void multipleSystemsAnswers() {
    QFETCH(QString, answer);
    QFETCH(bool, tick);
    QFETCH(bool, yes);
    OnNextModal([&](QWidget* dialog) {
      dialog->findChild<QCheckBox*>("dontShowAgain")->setChecked(tick);
      if (answer == "escape") {
        QTest::keyClick(dialog, Qt::Key_Escape);
      } else {
        dialog->findChild<QPushButton*>(answer)->click();
      }
    });
    bool dontShowAgain = !tick;
    QCOMPARE(AskMultipleSystems(nullptr, "", dontShowAgain), yes);
    QCOMPARE(dontShowAgain, tick);
  }
};

QTEST_MAIN(QuestionsTest)
#include "questions_test.moc"
