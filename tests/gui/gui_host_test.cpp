#include <QtTest>

#include <QElapsedTimer>
#include <QThread>

#include "app/gui_host.h"
#include "app/presenter.h"
#include "app/text.h"
#include "res/strings.h"

namespace vellumix::gui {
namespace {

// Answers Yes, 3/4, 2.5 beats and "don't show again", and notes the thread it was asked on.
class RecordingPresenter : public Presenter {
 public:
  void ShowMessage(QWidget*, const QString& text) override { Note(text); }
  bool AskYesNo(QWidget*, const QString& text) override {
    Note(text);
    return true;
  }
  bool AskTimeSignature(QWidget*, TimeSignatureQuestion, const QString& text, int& top,
                        int& bottom) override {
    Note(text);
    top = 3;
    bottom = 4;
    return true;
  }
  bool AskAnacrusis(QWidget*, const QString& text, float& beats) override {
    Note(text);
    beats = 2.5f;
    return true;
  }
  bool AskMultipleSystems(QWidget*, const QString& text, bool& dontShowAgain) override {
    Note(text);
    dontShowAgain = true;
    return true;
  }
  QStringList texts;
  QList<QThread*> threads;

 private:
  void Note(const QString& text) {
    texts << text;
    threads << QThread::currentThread();
  }
};

// Runs `work` on a thread of its own while the GUI thread goes on handling events.
void OnWorker(const std::function<void()>& work) {
  std::unique_ptr<QThread> worker(QThread::create(work));
  worker->start();
  QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 20000);
}

}  // namespace

class GuiHostTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void aWorkersQuestionsAreAskedOnTheGuiThread();
  void statusTextsAreCoalescedAndPaintedAtMostEvery16Ms();
  void aCancelRequestIsAnsweredByEveryReportUntilTheNextRun();
  void aDetachedHostShowsNothing();
  void coreTextsAreDecodedForDisplay();
};

void GuiHostTest::aWorkersQuestionsAreAskedOnTheGuiThread() {
  RecordingPresenter presenter;
  GuiHost host(presenter);
  bool yes = false, timeSignature = false, anacrusis = false, systems = false;
  bool dontShowAgain = false;
  int top = 4, bottom = 4;
  float beats = 0;
  OnWorker([&] {
    host.ShowMessage(res::kCannotRead, "Unable to open file a.mus for reading");
    yes = host.AskYesNo(res::kOverwriteQuestion, "overwrite?");
    timeSignature = host.AskTimeSignature(TimeSignatureQuestion::kNoInitial, "time?", top, bottom);
    anacrusis = host.AskAnacrusis("beats?", beats);
    systems = host.AskMultipleSystems(res::kMaybeMultipleSystems, "systems?", dontShowAgain);
  });
  QCOMPARE(presenter.texts, QStringList({"Unable to open file a.mus for reading", "overwrite?",
                                         "time?", "beats?", "systems?"}));
  for (QThread* thread : presenter.threads) QCOMPARE(thread, QThread::currentThread());
  QVERIFY(yes && timeSignature && anacrusis && systems && dontShowAgain);
  QCOMPARE(top, 3);
  QCOMPARE(bottom, 4);
  QCOMPARE(beats, 2.5f);
}

void GuiHostTest::statusTextsAreCoalescedAndPaintedAtMostEvery16Ms() {
  RecordingPresenter presenter;
  GuiHost host(presenter);
  int shown = 0;
  QStringList panes;
  connect(&host, &GuiHost::statusChanged, this, [&](const QString& pane0, const QString& pane1) {
    ++shown;
    panes = {pane0, pane1};
  });
  QElapsedTimer clock;
  clock.start();
  const int reports = 20000;
  OnWorker([&] {
    for (int i = 1; i <= reports; ++i) {
      host.ReportStatus("Reading file a.mus", 0, false);
      host.ReportStatus(std::to_string(i * 100 / reports) + " percent read", 1, false);
    }
  });
  QTRY_COMPARE(panes, QStringList({"Reading file a.mus", "100 percent read"}));
  QVERIFY2(shown <= clock.elapsed() / GuiHost::kPaintIntervalMs + 2,
           qPrintable(QStringLiteral("%1 paints in %2 ms").arg(shown).arg(clock.elapsed())));

  // "Done" clears the second pane as it is shown.
  host.ReportStatus("Done", 0, true);
  host.ShowStatusNow();
  QCOMPARE(panes, QStringList({"Done", ""}));
  QCOMPARE(host.StatusText(0), QStringLiteral("Done"));
}

void GuiHostTest::aCancelRequestIsAnsweredByEveryReportUntilTheNextRun() {
  RecordingPresenter presenter;
  GuiHost host(presenter);
  host.BeginRun();
  QVERIFY(host.ReportStatus("Reading file a.mus", 0, false));
  host.RequestCancel();
  QVERIFY(!host.ReportStatus("Reading file a.mus", 0, false));
  QVERIFY(!host.ReportStatus("Transcribe cancelled", 0, true));
  host.BeginRun();
  QVERIFY(host.ReportStatus("Reading file a.mus", 0, false));
}

void GuiHostTest::aDetachedHostShowsNothing() {
  RecordingPresenter presenter;
  GuiHost host(presenter);
  host.Detach();
  int top = 4, bottom = 4;
  float beats = 1;
  bool dontShowAgain = false;
  bool answered = true;
  OnWorker([&] {
    host.ShowMessage(res::kCannotRead, "message");
    answered = host.AskYesNo(res::kOverwriteQuestion, "overwrite?") ||
               host.AskTimeSignature(TimeSignatureQuestion::kMultiple, "time?", top, bottom) ||
               host.AskAnacrusis("beats?", beats) ||
               host.AskMultipleSystems(res::kOnlyOneSystem, "systems?", dontShowAgain);
  });
  QVERIFY(!answered);
  QVERIFY(presenter.texts.isEmpty());
  QCOMPARE(top, 4);
  QCOMPARE(beats, 1.0f);
}

void GuiHostTest::coreTextsAreDecodedForDisplay() {
  // Library files are Windows-1252; paths and our own texts UTF-8.
  QCOMPARE(FromCoreText("Caf\xe9 \x93"
                        "Bach\x94"),
           QStringLiteral("Café “Bach”"));
  QCOMPARE(FromCoreText("/home/j\xc3\xb6rg/a.mus"), QStringLiteral("/home/jörg/a.mus"));
  QCOMPARE(FileDialogFilter(res::Text(res::kMidiFileFilter)),
           QStringLiteral("MIDI files (*.mid);;All Files (*)"));
  QCOMPARE(FileDialogFilter("Templists (*.tmp) | *.tmp| All Files (*.*) | *.* ||"),
           QStringLiteral("Templists (*.tmp);;All Files (*)"));
}

}  // namespace vellumix::gui

QTEST_MAIN(vellumix::gui::GuiHostTest)
#include "gui_host_test.moc"
