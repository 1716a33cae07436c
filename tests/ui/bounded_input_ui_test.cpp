// The program meets files that are not what they should be ("config.bak", the port settings
// file, a recipient file as a link to /dev/zero, a named pipe, a folder, a file past its bound):
// within a second the window is up, the user has been told (or, for the port settings file, the
// program starts as without one), and nothing was changed. A command that runs out of memory,
// or fails in a way nobody expected, is reported and the program goes on.

#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <atomic>
#include <memory>
#include <new>
#include <stdexcept>

#include "app/dialogs/port_settings_window.h"
#include "app/main_window.h"
#include "app/operation_runner.h"
#include "base/regular_file.h"
#include "hostile_file.h"
#include "link/port_settings.h"
#include "settings/config_file.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

using orv::test::Hostile;
using orv::test::kAllHostile;

// Makes the file at `path` hostile; one past the bound holds `line` over and over.
void make(Hostile h, const QString& path, std::size_t bound, const QByteArray& line) {
    orv::test::makeHostile(h, QFile::encodeName(path).toStdString(), bound, line.toStdString());
}

// What the path is now: its kind and, for a file, its content.
QByteArray fingerprint(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return "missing";
    }
    if (!S_ISREG(st.st_mode)) {
        return "mode " + QByteArray::number(st.st_mode, 8);
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

int countContaining(const MessageRecorder& messages, const QString& part) {
    int n = 0;
    for (const ShownMessage& m : messages.shown) {
        n += m.text.contains(part) ? 1 : 0;
    }
    return n;
}

const QString kNotRead = QStringLiteral(" не прочитан: ");

// The main window as the program starts it, loading the working state; it is up within a
// second whatever that file is.
std::unique_ptr<TForm1> startWithinASecond() {
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer runs the code several times slower: a wider bound.
    constexpr qint64 kBoundMs = 4000;
#else
    constexpr qint64 kBoundMs = 1000;
#endif
    QElapsedTimer timer;
    timer.start();
    auto form = std::make_unique<TForm1>();
    form->show();
    QApplication::processEvents();
    EXPECT_LT(timer.elapsed(), kBoundMs);
    return form;
}

TEST(BoundedStartUp, AWorkingStateThatIsNoFileIsToldAndTheDefaultsStay) {
    for (Hostile hostile : kAllHostile) {
        SCOPED_TRACE(name(hostile));
        ScopedWorkDir dir;
        make(hostile, dir.path("config.bak"), orv::kConfigFileBound.bytes,
             "AT+CPBW=1,\"+79001234567\",129,\"W+79001234567\"\r\n");
        const QByteArray before = fingerprint(dir.path("config.bak"));
        MessageRecorder messages;
        const std::unique_ptr<TForm1> started = startWithinASecond();
        TForm1& form = *started;
        EXPECT_TRUE(form.isVisible());
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_TRUE(messages.shown[0].text.contains(kNotRead))
            << messages.shown[0].text.toStdString();
        EXPECT_TRUE(messages.shown[0].text.contains("config.bak"));
        EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
        EXPECT_EQ(form.record(), orv::SettingsRecord());
        if (hostile == Hostile::kPastBound) {
            // A file that did not load is moved aside whole, so the close cannot replace it.
            const QStringList kept =
                QDir(dir.path("."))
                    .entryList({QStringLiteral("config.bak.damaged-*")}, QDir::Files);
            ASSERT_EQ(kept.size(), 1);
            EXPECT_EQ(fingerprint(dir.path(kept[0])), before);
        } else {
            EXPECT_EQ(fingerprint(dir.path("config.bak")), before);
        }
    }
}

// 100 000 phone-book lines, as a save would have written them (past the bound), and in the
// fewest bytes a tagged line can have (within it, refused at the hundredth number).
TEST(BoundedStartUp, HundredThousandNumbersAreRefusedAndTheProgramCloses) {
    const QByteArray header =
        "ATW80015A\r\nATW81010B\r\nATW82010A\r\nATW830100\r\nATW840107\r\nATW860182\r\n"
        "ATW900100\r\nATK1\r\n";
    const std::pair<QByteArray, QString> files[] = {
        {"AT+CPBW=1,\"+79001234567\",129,\"W+79001234567\"\r\n", kNotRead},
        {"1\"1\"\"W12\r\n", QStringLiteral("Файл Config.bak имеет не правильный формат")},
    };
    for (const auto& [line, message] : files) {
        SCOPED_TRACE(line.constData());
        ScopedWorkDir dir;
        {
            QFile file(dir.path("config.bak"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(header);
            for (int i = 0; i < 100000; ++i) {
                file.write(line);
            }
        }
        MessageRecorder messages;
        const std::unique_ptr<TForm1> started = startWithinASecond();
        TForm1& form = *started;
        EXPECT_EQ(countContaining(messages, message), 1);
        // Whatever a refused load left in the window, it is no more than the save takes.
        const orv::SettingsRecord shown = form.record();
        EXPECT_LE(shown.tables[orv::kCallBackTable].size(), 100u);

        // The close saves what the window holds.
        messages.shown.clear();
        EXPECT_TRUE(form.close());
        EXPECT_TRUE(messages.shown.empty());
        orv::SettingsRecord saved;
        orv::LoadFromFile(orv::kWorkingStateFile, saved);
        EXPECT_EQ(saved, shown);
    }
}

TEST(BoundedStartUp, APortSettingsFileThatIsNoFileStartsAsTheFirstStartDoes) {
    // What the first start without a file shows: the window's box and the activation's messages.
    auto startUp = [](QString& boxText, int& listed, QStringList& told) {
        MessageRecorder messages;
        orv::PortFlags flags;
        TForm3 settings(flags);
        auto* box = child<QComboBox>(&settings, "ComboBox1");
        boxText = box->currentText();
        listed = box->count();
        TForm1 form;
        form.setPortSettingsWindow(&settings);
        form.onActivated();
        for (const ShownMessage& m : messages.shown) {
            told << m.text;
        }
    };
    QString firstBox;
    int firstListed = -1;
    QStringList firstTold;
    {
        ScopedWorkDir dir;
        startUp(firstBox, firstListed, firstTold);
    }
    for (Hostile hostile : kAllHostile) {
        SCOPED_TRACE(name(hostile));
        ScopedWorkDir dir;
        make(hostile, dir.path(orv::kPortSettingsFile), orv::kPortSettingsFileBound.bytes,
             "/dev/ttyUSB0\r\n");
        const QByteArray before = fingerprint(dir.path(orv::kPortSettingsFile));
        QElapsedTimer timer;
        timer.start();
        QString box;
        int listed = -1;
        QStringList told;
        startUp(box, listed, told);
        EXPECT_LT(timer.elapsed(), 1000);
        EXPECT_EQ(box, firstBox);
        EXPECT_EQ(listed, firstListed);
        EXPECT_EQ(told, firstTold);
        EXPECT_EQ(fingerprint(dir.path(orv::kPortSettingsFile)), before);
    }
}

TEST(BoundedRecipients, ARecipientFileThatIsNoFileIsToldAndNothingIsRead) {
    for (Hostile hostile : kAllHostile) {
        SCOPED_TRACE(name(hostile));
        ScopedWorkDir dir;
        make(hostile, dir.path("list.txt"), orv::kRecipientFileBound.bytes, "+79001234567\r\n");
        const QByteArray before = fingerprint(dir.path("list.txt"));
        TForm1 form;
        form.show();
        MessageRecorder messages;
        QElapsedTimer timer;
        timer.start();
        form.loadRecipients(QFile::encodeName(dir.path("list.txt")).toStdString());
        EXPECT_LT(timer.elapsed(), 1000);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(messages.shown[0].text.contains(kNotRead))
            << messages.shown[0].text.toStdString();
        EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(form.recipients().empty());
        EXPECT_EQ(fingerprint(dir.path("list.txt")), before);
    }
}

TEST(UnexpectedErrors, RunningOutOfMemoryInACommandIsToldAndTheProgramGoesOn) {
    MessageRecorder messages;
    EXPECT_FALSE(orv::ui::runCommand(nullptr, [] { throw std::bad_alloc(); }));
    EXPECT_FALSE(orv::ui::runCommand(nullptr, [] { throw std::out_of_range("vector"); }));
    EXPECT_FALSE(orv::ui::runCommand(nullptr, [] { throw 42; }));
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Недостаточно памяти: команда не выполнена. Закройте другие программы "
                             "и повторите попытку."));
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("Непредвиденная ошибка: vector"));
    EXPECT_EQ(messages.shown[2].text, QStringLiteral("Непредвиденная ошибка."));
    for (const ShownMessage& m : messages.shown) {
        EXPECT_EQ(m.icon, QMessageBox::Critical);
    }

    // The same for a device operation on the link thread; the next one runs as usual.
    ScopedWorkDir dir;
    TForm1 form;
    messages.shown.clear();
    std::atomic<bool> ranAfter{false};
    form.runner().runOperation([](orv::OperationContext&) { throw std::bad_alloc(); });
    form.runner().runOperation([&](orv::OperationContext&) { ranAfter = true; });
    QElapsedTimer timer;
    timer.start();
    while ((!ranAfter || form.runner().busy()) && timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_TRUE(ranAfter);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Недостаточно памяти")));
}

}  // namespace
