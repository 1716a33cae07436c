// The progress window's time left and its stop: the bar's text, Escape and its question, the
// stop asked of a running operation, and the check against the device refused before it runs.

#include <QAction>
#include <QFile>
#include <QProgressBar>
#include <QTimer>
#include <atomic>

#include "app/dialogs/progress_window.h"
#include "app/main_window.h"
#include "app/operation_runner.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::OperationRunner;

namespace {

const QString kQuestion = QStringLiteral(
    "Остановить выполнение операции? Она будет остановлена после передачи текущей строки.");

TEST(ProgressWindowText, TimeLeftAndTheKeyFitInsideTheBar) {
    TForm4 window;
    window.show();
    auto* bar = window.findChild<QProgressBar*>("ProgressBar1");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isTextVisible());

    window.setStopOffered(true);
    window.setTimeLeft(200000, false);
    EXPECT_EQ(window.barText(), QStringLiteral("осталось 3 мин 20 с — Esc: остановить"));
    EXPECT_TRUE(bar->isTextVisible());
    EXPECT_EQ(bar->text(), window.barText());
    window.setTimeLeft(45000, true);
    EXPECT_EQ(window.barText(), QStringLiteral("осталось не более 45 с — Esc: остановить"));

    // The longest texts an operation shows fit the bar in the window's font, which keeps its
    // size.
    for (qint64 left : {3599000, 7199000, 179000}) {
        window.setTimeLeft(left, true);
        EXPECT_LT(bar->fontMetrics().horizontalAdvance(window.barText()), bar->width() - 20)
            << window.barText().toStdString();
    }
    EXPECT_EQ(window.size(), QSize(500, 33));

    // Counted down every second from the last figure.
    window.setTimeLeft(10000, false);
    processEventsFor(1100);
    EXPECT_EQ(window.barText(), QStringLiteral("осталось 9 с — Esc: остановить"));

    window.setStopping();
    EXPECT_EQ(window.barText(), QStringLiteral("осталось 9 с — остановка после текущей строки…"));
    window.hide();
    EXPECT_EQ(window.barText(), QString());
    EXPECT_FALSE(bar->isTextVisible());
}

class StopTest : public ::testing::Test {
  protected:
    StopTest() { form.setProgressWindow(&progress); }
    ~StopTest() override {
        release = true;
        EXPECT_TRUE(waitFor([&] { return !form.runner().busy(); }));
    }

    // An operation that shows its progress and sends "lines" until it is stopped or released.
    void runLines() {
        form.runner().runOperation([this](orv::OperationContext& ctx) {
            ctx.user.showProgress();
            ctx.user.setRange(0, 100);
            ctx.user.setTimeLeft(60000, false);
            while (!release) {
                if (ctx.stopRequested()) {
                    throw orv::Stopped(orv::cp1251::fromUtf8("Остановлено после строки"));
                }
                ctx.clock.sleep(5);
            }
        });
        ASSERT_TRUE(waitFor([&] { return progress.isVisible() && progress.stopOffered(); }));
    }

    void escape() {
        key(&progress, Qt::Key_Escape);
        processEventsFor(50);
    }

    ScopedWorkDir dir;
    TForm1 form;
    TForm4 progress{&form};
    std::atomic<bool> release{false};
};

TEST_F(StopTest, EscapeAsksAndYesStopsTheOperationWithItsMessage) {
    EXPECT_FALSE(form.runner().requestStop());  // nothing runs
    runLines();
    EXPECT_TRUE(form.runner().stoppable());
    EXPECT_EQ(progress.barText(), QStringLiteral("осталось 1 мин — Esc: остановить"));

    MessageRecorder messages(QMessageBox::Yes);
    escape();
    ASSERT_TRUE(waitFor([&] { return !form.runner().busy(); }));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, kQuestion);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Question);
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("Остановлено после строки"));
    EXPECT_EQ(messages.shown[1].icon, QMessageBox::Information);
    EXPECT_FALSE(form.runner().stoppable());
    // The window left shown by this operation says nothing more.
    EXPECT_EQ(progress.barText(), QString());
}

TEST_F(StopTest, NoLetsTheOperationGoOn) {
    runLines();
    {
        MessageRecorder messages(QMessageBox::No);
        escape();
        ASSERT_EQ(messages.shown.size(), 1u);
    }
    processEventsFor(100);
    EXPECT_TRUE(form.runner().busy());
    release = true;
    ASSERT_TRUE(waitFor([&] { return !form.runner().busy(); }));
}

// The program's own stop, as at a close that is not the user's: no question, the operation
// ends at its next line boundary, the bar says so meanwhile.
TEST_F(StopTest, RequestStopStopsWithoutAQuestion) {
    runLines();
    MessageRecorder messages;
    EXPECT_TRUE(form.runner().requestStop());
    EXPECT_EQ(progress.barText(),
              QStringLiteral("осталось 1 мин — остановка после текущей строки…"));
    ASSERT_TRUE(waitFor([&] { return !form.runner().busy(); }));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Остановлено после строки"));
}

// While a message of the operation is open, Escape belongs to that message: no stop is offered.
// A stop question still open when the operation shows its message makes way for it.
TEST_F(StopTest, NoStopIsOfferedOverAMessageOfTheOperation) {
    std::vector<QString> shown;
    const auto previous = orv::ui::setMessageBoxHook([&](QMessageBox& box) {
        shown.push_back(box.text());
        if (box.text() == kQuestion) {
            return int(QMessageBox::No);
        }
        QTimer::singleShot(50, &box, [this] { key(&progress, Qt::Key_Escape); });
        QTimer::singleShot(150, &box, [&box] { box.done(QMessageBox::Ok); });
        return box.exec();
    });
    form.runner().runOperation([](orv::OperationContext& ctx) {
        ctx.user.showProgress();
        ctx.user.tell(orv::MessageKind::Information, orv::cp1251::fromUtf8("Сообщение"),
                      orv::MessageButtons::Ok);
        ctx.user.closeProgress();
    });
    ASSERT_TRUE(waitFor([&] { return !form.runner().busy(); }));
    processEventsFor(50);
    orv::ui::setMessageBoxHook(previous);
    EXPECT_EQ(shown, std::vector<QString>{QStringLiteral("Сообщение")});
}

TEST_F(StopTest, AQuestionLeftOpenClosesWhenTheOperationEnds) {
    runLines();
    int answer = -1;
    const auto previous = orv::ui::setMessageBoxHook([&](QMessageBox& box) {
        QTimer::singleShot(50, &box, [this] { release = true; });
        answer = box.exec();
        return answer;
    });
    escape();
    ASSERT_TRUE(waitFor([&] { return !form.runner().busy() && answer != -1; }));
    orv::ui::setMessageBoxHook(previous);
    EXPECT_EQ(answer, int(QMessageBox::No));
}

// The close by a signal stops the operation as Escape does, with or without Escape's question
// open (it is closed), waits for it to end, writes its state message on standard error
// instead of a box, and only then closes the window, saving the working state.
TEST_F(StopTest, AClosingSignalStopsTheOperationAsEscapeDoesAndTellsOnStandardError) {
    for (const bool questionOpen : {false, true}) {
        SCOPED_TRACE(questionOpen);
        TForm1 window;
        TForm4 windowProgress{&window};
        window.setProgressWindow(&windowProgress);
        std::atomic<int> linesAfterStop{0};
        window.runner().runOperation([&](orv::OperationContext& ctx) {
            ctx.user.showProgress();
            while (!ctx.stopRequested()) {
                ctx.clock.sleep(5);
            }
            ++linesAfterStop;  // the closing line
            throw orv::Stopped(orv::cp1251::fromUtf8("Остановлено после строки"));
        });
        ASSERT_TRUE(waitFor([&] { return windowProgress.isVisible(); }));
        CapturedStandardError standardError;
        std::vector<QString> shown;
        const auto previous = orv::ui::setMessageBoxHook([&](QMessageBox& box) {
            shown.push_back(box.text());
            if (box.text() != kQuestion) {
                return int(QMessageBox::Ok);
            }
            QTimer::singleShot(50, &box, [&window] { window.closeBySignal(); });
            return box.exec();
        });
        if (questionOpen) {
            key(&windowProgress, Qt::Key_Escape);
        } else {
            window.closeBySignal();
        }
        ASSERT_TRUE(waitFor([&] { return !window.runner().busy(); }));
        processEventsFor(50);
        orv::ui::setMessageBoxHook(previous);
        EXPECT_EQ(linesAfterStop, 1);
        EXPECT_EQ(shown, questionOpen ? std::vector<QString>{kQuestion} : std::vector<QString>{});
        EXPECT_EQ(standardError.programLines(),
                  QStringList{QStringLiteral("orvelin9: Остановлено после строки")});
        EXPECT_TRUE(QFile::exists(dir.path("config.bak")));
        QFile::remove(dir.path("config.bak"));
    }
}

TEST(CheckAgainstDevice, ARecordThatCannotBeWrittenIsRefusedBeforeAnythingRuns) {
    ScopedWorkDir dir;
    TForm1 form;
    orv::SettingsRecord r = form.record();
    r.callDuration = "2x";
    form.setRecord(r);
    int busy = 0;
    QObject::connect(&form.runner(), &OperationRunner::busyChanged, [&](bool on) { busy += on; });
    MessageRecorder messages;
    form.findChild<QAction*>("N12")->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("'2x' is not a valid integer value"));
    processEventsFor(50);
    EXPECT_EQ(busy, 0);
}

}  // namespace
