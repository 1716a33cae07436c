// Device commands run on the link thread: the busy windows, the progress window fed from the
// job, messages told during a job, how a job's end is shown, and the handlers' questions.

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <fstream>
#include <stdexcept>

#include "app/operation_runner.h"
#include "app/sms_text_box.h"
#include "app/tark.h"
#include "app/tark4.h"
#include "operations/programming.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::OperationRunner;

// Marks an event as coming from the window system, as a click on a window's close box does.
class QSpontaneKeyEvent {
  public:
    static void setSpontaneous(QEvent* event) { event->setSpontaneous(); }
};

namespace {

// The window system's close request, as the close box sends it.
bool closeBox(QWidget* window) {
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QApplication::sendEvent(window->windowHandle(), &close);
    return close.isAccepted();
}

bool waitUntil(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

void click(QWidget* target) {
    const QPointF at = QPointF(target->rect().center());
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// Counts the presses of "Проверить" instead of asking the device.
class CountingForm : public TForm1 {
  public:
    void Button1Click() override { ++checks; }
    int checks = 0;
};

class OperationRunnerTest : public ::testing::Test {
  protected:
    OperationRunnerTest() {
        form.setProgressWindow(&progress);
        QObject::connect(&form.runner(), &OperationRunner::busyChanged,
                         [this](bool busy) { busyChanges += busy ? 1 : 0; });
    }
    ~OperationRunnerTest() override {
        EXPECT_TRUE(waitUntil([&] { return !runner().busy(); }));
    }

    OperationRunner& runner() { return form.runner(); }

    ScopedWorkDir dir;
    CountingForm form;
    TForm4 progress{&form};
    int busyChanges = 0;
};

TEST_F(OperationRunnerTest, BusyWindowsTakeNoInputWhileTheProgressMoves) {
    ASSERT_TRUE(showActive(&form));
    MessageRecorder messages;
    std::atomic<bool> release{false};
    runner().runOperation([&](orv::OperationContext& ctx) {
        ctx.user.setCaption(orv::cp1251::fromUtf8("Стирание Sim-карты"));
        ctx.user.showProgress();
        ctx.user.setRange(0, 10);
        for (int p = 1; p <= 3; ++p) {
            ctx.user.setPosition(p);
        }
        while (!release) {
            ctx.clock.sleep(5);
        }
        ctx.user.setPosition(7);
    });
    ASSERT_TRUE(waitUntil([&] { return progress.position() == 3; }));
    EXPECT_TRUE(runner().busy());
    EXPECT_TRUE(progress.isVisible());
    EXPECT_EQ(progress.caption(), QStringLiteral("Стирание Sim-карты"));
    EXPECT_EQ(progress.maximum(), 10);

    auto* memo2 = child<QPlainTextEdit>(&form, "Memo2");
    key(memo2, Qt::Key_X, Qt::NoModifier, "x");
    click(child<QPushButton>(&form, "Button1"));
    QShortcutEvent f5(QKeySequence(Qt::Key_F5), 0);
    QApplication::sendEvent(child<QAction>(&form, "N7"), &f5);
    EXPECT_FALSE(closeBox(&form));
    QApplication::processEvents();
    EXPECT_EQ(memo2->toPlainText(), QString());
    EXPECT_EQ(form.checks, 0);
    EXPECT_TRUE(messages.shown.empty()) << "the F5 question was asked";
    EXPECT_TRUE(form.isVisible());

    int paints = 0;
    struct PaintCounter : QObject {
        int& n;
        explicit PaintCounter(int& count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    form.installEventFilter(&counter);
    form.update();
    waitUntil([&] { return paints > 0; }, 1000);
    form.removeEventFilter(&counter);
    EXPECT_GT(paints, 0) << "the busy window is still drawn";

    release = true;
    ASSERT_TRUE(waitUntil([&] { return !runner().busy(); }));
    EXPECT_EQ(progress.position(), 7);
    // Input reaches the windows again.
    key(memo2, Qt::Key_X, Qt::NoModifier, "x");
    EXPECT_EQ(memo2->toPlainText(), QStringLiteral("x"));
    click(child<QPushButton>(&form, "Button1"));
    EXPECT_EQ(form.checks, 1);
}

TEST_F(OperationRunnerTest, TheJobClosesTheProgressWindowItShowed) {
    runner().runOperation([](orv::OperationContext& ctx) {
        ctx.user.showProgress();
        ctx.user.setRange(0, 100);
        ctx.user.setPosition(100);
        ctx.user.setCaption("x");
        ctx.user.closeProgress();
    });
    ASSERT_TRUE(waitUntil([&] { return !runner().busy(); }));
    EXPECT_EQ(progress.position(), 100);
    EXPECT_FALSE(progress.isVisible());
}

TEST_F(OperationRunnerTest, AJobsMessageBoxTakesInputAndTheJobGoesOnWhenItIsClosed) {
    std::vector<ShownMessage> shown;
    const auto previous = orv::ui::setMessageBoxHook([&](QMessageBox& box) {
        shown.push_back({box.windowTitle(), box.text(), box.icon(), box.standardButtons()});
        // The user presses the box's button with the mouse while the job waits.
        QTimer::singleShot(50, &box, [&box] {
            click(box.buttons().isEmpty() ? nullptr : box.buttons().constFirst());
        });
        return box.exec();
    });
    std::atomic<bool> after{false};
    runner().runOperation([&](orv::OperationContext& ctx) {
        ctx.user.tell(orv::MessageKind::Information, orv::cp1251::fromUtf8("Переход выполнен"),
                      orv::MessageButtons::Yes);
        after = true;
    });
    EXPECT_TRUE(waitUntil([&] { return !runner().busy(); }));
    orv::ui::setMessageBoxHook(previous);
    EXPECT_TRUE(after);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Переход выполнен"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(shown[0].buttons, QMessageBox::StandardButtons(QMessageBox::Yes));
}

TEST_F(OperationRunnerTest, HowAJobEndedIsShownAfterItsFinish) {
    MessageRecorder messages;
    std::size_t shownAtFinish = 99;
    runner().runOperation(
        [](orv::OperationContext&) {
            throw orv::Failure(orv::MessageKind::Warning, orv::cp1251::fromUtf8("Ошибка № 1"));
        },
        [&](std::exception_ptr error) {
            EXPECT_TRUE(error);
            shownAtFinish = messages.shown.size();
        });
    ASSERT_TRUE(waitUntil([&] { return messages.shown.size() == 1; }));
    EXPECT_EQ(shownAtFinish, 0u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Ошибка № 1"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Warning);

    runner().runOperation([](orv::OperationContext&) { throw orv::SilentAbort(); });
    runner().runOperation([](orv::OperationContext&) { throw std::logic_error("not built yet"); });
    ASSERT_TRUE(waitUntil([&] { return messages.shown.size() == 2 && !runner().busy(); }));
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("Непредвиденная ошибка: not built yet"));
    EXPECT_EQ(messages.shown[1].icon, QMessageBox::Critical);
}

TEST_F(OperationRunnerTest, TheJobSeesThePortOfTheLinkAndTheStartFolder) {
    std::string workDir;
    bool portOpen = true;
    runner().runOperation([&](orv::OperationContext& ctx) {
        workDir = ctx.workDir;
        portOpen = ctx.port.isOpen();
        ctx.reader.stopReader();
        ctx.reader.startReader();
    });
    ASSERT_TRUE(waitUntil([&] { return !runner().busy(); }));
    EXPECT_EQ(QString::fromStdString(workDir), QDir::currentPath());
    EXPECT_FALSE(portOpen);
    EXPECT_EQ(busyChanges, 1);
}

TEST_F(OperationRunnerTest, NoToTheQuestionsRunsNothing) {
    MessageRecorder messages(QMessageBox::No);
    form.N7Click();
    form.Sim1Click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("При программировании данные в Sim-карте будут запорчены. "
                             "Продолжить?"));
    EXPECT_EQ(messages.shown[1].text,
              QStringLiteral("Вы уверены что хотите стереть все записи из Sim-карты?"));
    for (const ShownMessage& m : messages.shown) {
        EXPECT_EQ(m.icon, QMessageBox::Warning);
        EXPECT_EQ(m.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    processEventsFor(50);
    EXPECT_EQ(busyChanges, 0);
    EXPECT_FALSE(QFile::exists(dir.path("1.txt")));
    EXPECT_FALSE(progress.isVisible());
}

// A record the device could not hold (a value the program put in, such as a read-back or an
// old file gave) is refused before the question, and nothing runs.
TEST_F(OperationRunnerTest, WriteRefusesARecordItCannotEncodeBeforeTheQuestion) {
    orv::SettingsRecord r = form.record();
    r.numberLength = "1x";
    form.setRecord(r);
    MessageRecorder messages(QMessageBox::Yes);
    form.N7Click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("'1x' is not a valid integer value"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    processEventsFor(50);
    EXPECT_EQ(busyChanges, 0);
    EXPECT_FALSE(QFile::exists(dir.path("1.txt")));
}

// A broadcast with nobody to send to says so, and nothing runs.
TEST_F(OperationRunnerTest, BroadcastWithoutRecipientsSaysSoAndRunsNothing) {
    MessageRecorder messages(QMessageBox::Yes);
    form.Button2Click();
    std::ofstream(dir.path("names.txt").toStdString(), std::ios::binary) << "Ivan\r\n\r\n";
    form.loadRecipients(dir.path("names.txt").toStdString());
    form.Button2Click();
    processEventsFor(50);
    EXPECT_EQ(busyChanges, 0);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Файл абонентов не загружен. Загрузите его кнопкой «Загрузить файл "
                             "абонентов» и повторите рассылку."));
    EXPECT_EQ(messages.shown[1].text,
              QStringLiteral("В списке абонентов нет ни одного номера. Сообщение не отправлено.\n\n"
                             "Строки без номера абонента:\nСтрока 1: Ivan\nСтрока 2: (пустая)"));
    for (const ShownMessage& m : messages.shown) {
        EXPECT_EQ(m.icon, QMessageBox::Warning);
        EXPECT_EQ(m.buttons, QMessageBox::Ok);
    }
}

// Nothing is sent before the user has seen how many recipients get which text, and agreed.
TEST_F(OperationRunnerTest, BroadcastAsksFirstWithYesAsTheDefault) {
    std::ofstream(dir.path("list.txt").toStdString(), std::ios::binary)
        << "+79001234567 Ivan\r\n89001234567\r\nIvan\r\n";
    form.loadRecipients(dir.path("list.txt").toStdString());
    child<QPlainTextEdit>(&form, "Memo2")->setPlainText(QStringLiteral("Ёлка"));
    MessageRecorder messages(QMessageBox::No);
    form.Button2Click();
    processEventsFor(50);
    EXPECT_EQ(busyChanges, 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Разослать SMS-сообщение 2 абонентам?\n\nТекст: «Ёлка»\n\n"
                             "Строки без номера абонента (1) будут пропущены."));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Question);
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(messages.shown[0].defaultButton, QMessageBox::Yes);
}

TEST_F(OperationRunnerTest, RecipientFileFromTheDialogReplacesTheList) {
    std::ofstream(dir.path("list.txt").toStdString(), std::ios::binary)
        << "+79001234567 Ivan\r\n\r\n8900";
    // Answers the dialog once it shows: the file typed into its name field, or Cancel.
    auto answerDialog = [this](bool accept) {
        auto* timer = new QTimer(&form);
        QObject::connect(timer, &QTimer::timeout, &form, [this, timer, accept] {
            auto* dialog = form.findChild<QFileDialog*>("OpenDialog2");
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            timer->deleteLater();
            EXPECT_TRUE(dialog->defaultSuffix().isEmpty());
            EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
            EXPECT_LE(dialog->nameFilters().size(), 1);
            if (accept) {
                dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                    ->setText(dir.path("list.txt"));
                QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
            }
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        timer->start(20);
    };
    answerDialog(false);
    form.Button3Click();
    EXPECT_FALSE(form.recipientsLoaded());

    answerDialog(true);
    form.Button3Click();
    EXPECT_TRUE(form.recipientsLoaded());
    EXPECT_EQ(form.recipients(), (orv::RecipientList{"+79001234567 Ivan", "", "8900"}));

    // A file that cannot be read: its error is shown, the list is new and empty, the flag stays.
    MessageRecorder messages;
    form.loadRecipients(dir.path("missing.txt").toStdString());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(messages.shown[0].text.contains("missing.txt"));
    EXPECT_TRUE(form.recipients().empty());
    EXPECT_TRUE(form.recipientsLoaded());
}

TEST(ShownLines, WrappedLinesComeSeparatelyAndLineBreaksAreDropped) {
    QPlainTextEdit box;
    box.setFixedSize(305, 113);
    box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QString longLine = QString("слово ").repeated(20).trimmed();
    box.setPlainText("abc\n\n" + longLine);
    box.show();
    QApplication::processEvents();
    const QStringList lines = orv::ui::shownLines(box);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "abc");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines.mid(2).join(QString()), longLine);
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains('\n'));
    }
}

}  // namespace
