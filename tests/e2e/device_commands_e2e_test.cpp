// The main window's device commands against the device emulator on a pseudo-terminal, in real
// time: write programming, read programming, the CLIR query and the SMS broadcast, each started
// from its handler and run on the link thread as the program runs it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/dialogs/progress_window.h"
#include "app/main_window.h"
#include "app/messages.h"
#include "app/operation_runner.h"
#include "app/text_bridge.h"
#include "emulator_process.h"
#include "emulator_state.h"
#include "link/link.h"
#include "settings/encoding.h"

namespace {

using orv::cp1251::fromUtf8;
using orv::test::waitUntil;

// Records the message boxes and answers each with `answer`.
class Messages {
  public:
    explicit Messages(QMessageBox::StandardButton answer = QMessageBox::Yes) {
        previous_ = orv::ui::setMessageBoxHook([this, answer](QMessageBox& box) {
            shown.push_back({box.text(), box.icon()});
            return int(answer);
        });
    }
    ~Messages() { orv::ui::setMessageBoxHook(previous_); }

    std::vector<std::pair<QString, QMessageBox::Icon>> shown;

  private:
    orv::ui::MessageBoxHook previous_;
};

std::string readFile(const QString& path) {
    std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The emulator program, answering on a pseudo-terminal reached through a link in `dir`.
class Emulator {
  public:
    Emulator(const QString& dir, const QStringList& options) : dir_(dir) {
        started_ = process_.start(port(), QStringList(options) << "--dump" << dumpFile());
    }

    bool started() const { return started_; }
    QString port() const { return dir_ + "/port"; }
    QString dumpFile() const { return dir_ + "/dump.txt"; }

    // The registers and phone book as the emulator holds them now.
    orv::e2e::DeviceState state() {
        orv::e2e::DeviceState state;
        if (!process_.dump(dumpFile())) {
            ADD_FAILURE() << "no dump";
            return state;
        }
        std::string error;
        EXPECT_TRUE(orv::e2e::parseDeviceState(readFile(dumpFile()), state, error)) << error;
        return state;
    }

  private:
    QString dir_;
    orv::test::EmulatorProcess process_;
    bool started_ = false;
};

class DeviceCommandsE2E : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!QApplication::instance()) {
            static int argc = 1;
            static char name[] = "orv_e2e_tests";
            static char* argv[] = {name, nullptr};
            qputenv("QT_QPA_PLATFORM", "offscreen");
            new QApplication(argc, argv);
        }
    }

    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // Opens the emulator's port for `form` through a link job, as the activation does.
    static bool openPort(TForm1& form, const QString& port) {
        bool done = false;
        bool opened = false;
        form.runner().run(
            [name = orv::ui::toText(port)](orv::LinkContext& link) { link.openPort(name); },
            [&](std::exception_ptr error) {
                opened = !error;
                done = true;
            });
        return waitUntil([&] { return done; }, 5000) && opened;
    }

    static bool finished(TForm1& form, int ms) {
        return waitUntil([&] { return !form.runner().busy(); }, ms);
    }

    QString path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
};

// A record with a password, every phone table and a forward number, kept short: each line
// takes about a second and a half on the line.
orv::SettingsRecord shortRecord() {
    orv::SettingsRecord record;
    record.choice(1) = 1;
    record.choice(6) = 0;
    record.choice(12) = 0;
    record.volume = "47";
    record.password = "52";
    record.callDuration = "5";
    record.forwardNumber = "8916";
    record.tables[orv::kCallBackTable] = {{"8900", ""}};
    record.tables[orv::kAllowedTable] = {{"8495", ""}, {"+7916", ""}};
    record.tables[orv::kForbiddenTable] = {{"8800", ""}};
    record.tables[orv::kSpeedDialTable] = {{"112", ""}};
    return record;
}

// The registers and phone-book slots a command list writes, in the emulator's terms.
orv::e2e::DeviceState writtenBy(const orv::CommandList& lines) {
    std::string entries;
    for (const orv::Text& line : lines) {
        if (line.rfind("ATW", 0) == 0) {
            entries += "register " + line.substr(3, 4) + " \"" + line.substr(7) + "\"\n";
        } else if (line.rfind("AT+CPBW=", 0) == 0) {
            std::string slot = line.substr(8);
            for (char& c : slot) {
                if (c == ',') {
                    c = ' ';
                }
            }
            entries += "slot " + slot + "\n";
        }
    }
    orv::e2e::DeviceState state;
    std::string error;
    EXPECT_TRUE(orv::e2e::parseDeviceState(entries, state, error)) << error << "\n" << entries;
    return state;
}

// Write programming over a device that holds more than the record (a longer earlier
// programming: tagged slots 1 to 6, a forward number, speed dial 101 to 104 and 140) leaves
// exactly the record in the SIM phone book, and the check against the window (F8) says so;
// read programming into a fresh window brings back the record and nothing else.
TEST_F(DeviceCommandsE2E, WrittenRecordIsInTheDeviceAndReadsBackIntoAFreshWindow) {
    {
        std::ofstream state(QFile::encodeName(path("fuller.txt")).toStdString());
        for (int i = 1; i <= 6; ++i) {
            state << "slot " << i << " \"8900000000" << i << "\" 129 \"W8900000000" << i << "\"\n";
        }
        state << "slot 100 \"+79990000000\" 129 \"+79990000000\"\n";
        for (int i = 101; i <= 104; ++i) {
            state << "slot " << i << " \"" << i << "\" 129 \"" << i << "\"\n";
        }
        state << "slot 140 \"140\" 129 \"140\"\n";
    }
    Emulator emulator(dir_.path(), {"--state", path("fuller.txt")});
    ASSERT_TRUE(emulator.started());
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(dir_.path());

    orv::CommandList expected;
    orv::SettingsRecord written;
    {
        TForm1 form;
        TForm4 progress(&form);
        form.setProgressWindow(&progress);
        ASSERT_TRUE(openPort(form, emulator.port()));
        form.setRecord(shortRecord());
        written = form.record();
        expected = orv::encode(written);

        Messages messages(QMessageBox::Yes);
        form.N7Click();
        // The record, then the erase of the 142 slots it does not use: about five minutes.
        ASSERT_TRUE(finished(form, 480000));
        ASSERT_EQ(messages.shown.size(), 1u);  // the question alone
        EXPECT_FALSE(progress.isVisible());
        const std::string commandList = [&] {
            std::string text;
            for (const auto& line : expected) {
                text += line + "\r\n";
            }
            return text;
        }();
        EXPECT_EQ(readFile(path("1.txt")), commandList);

        // The check reads the device and finds what the window shows; it writes no file and
        // leaves the window as it was. It reads every one of the 150 slots: about four and a
        // half minutes.
        messages.shown.clear();
        QElapsedTimer check;
        check.start();
        form.CompareWithDeviceClick();
        ASSERT_TRUE(finished(form, 360000));
        std::cout << "check against the device: " << check.elapsed() << " ms" << std::endl;
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].first,
                  QStringLiteral("Программирование в окне и в GSM-Тарк Орвелин-9 совпадает."));
        EXPECT_EQ(messages.shown[0].second, QMessageBox::Information);
        EXPECT_EQ(readFile(path("1.txt")), commandList);
        EXPECT_EQ(form.record(), written);
        EXPECT_FALSE(progress.isVisible());
    }

    const orv::e2e::DeviceState device = emulator.state();
    const orv::e2e::DeviceState wanted = writtenBy(expected);
    for (const auto& [code, value] : wanted.registers) {
        EXPECT_EQ(device.registers.count(code) ? device.registers.at(code) : "(none)", value)
            << "register " << code;
    }
    EXPECT_EQ(device.phoneBook, wanted.phoneBook);

    {
        QFile::remove(path("config.bak"));  // a fresh window, without a working state
        TForm1 fresh;
        TForm4 progress(&fresh);
        fresh.setProgressWindow(&progress);
        ASSERT_TRUE(openPort(fresh, emulator.port()));
        Messages messages(QMessageBox::Ok);
        fresh.N2Click();
        ASSERT_TRUE(finished(fresh, 120000));
        EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().first.toStdString();
        const orv::SettingsRecord back = fresh.record();
        EXPECT_EQ(back.forwardNumber, written.forwardNumber) << readFile(path("1.txt"));
        // Nothing of the earlier programming came back.
        EXPECT_EQ(orv::encode(back), expected);
        EXPECT_EQ(back.password, written.password);
        EXPECT_FALSE(progress.isVisible());
    }
    QDir::setCurrent(oldDir);
}

// Read programming of a fresh window with its transcript, against the emulator; the emulator
// replaying that transcript then gives a fresh window the same record, and a transcript with one
// line changed ends the replay at that line, the read failing.
TEST_F(DeviceCommandsE2E, ReadProgrammingReplayedFromItsTranscriptGivesTheSameRecord) {
    {
        std::ofstream state(QFile::encodeName(path("device.txt")).toStdString());
        state << "slot 1 \"8900\" 129 \"W8900\"\nslot 101 \"112\" 129 \"112\"\n";
    }
    const QString oldDir = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    const std::string transcript = QFile::encodeName(path("t.txt")).toStdString();
    // F7 in a fresh window: the record it reads, and what "1.txt" holds then.
    const auto readIntoFreshWindow = [&](const QString& port, bool record, int expectedMessages) {
        QFile::remove(path("config.bak"));
        TForm1 form;
        TForm4 progress(&form);
        form.setProgressWindow(&progress);
        if (record) {
            form.runner().setTranscriptFile(transcript);
        }
        EXPECT_TRUE(openPort(form, port));
        Messages messages(QMessageBox::Ok);
        form.N2Click();
        EXPECT_TRUE(finished(form, 120000));
        EXPECT_EQ(messages.shown.size(), static_cast<std::size_t>(expectedMessages));
        return std::make_pair(form.record(), readFile(path("1.txt")));
    };
    std::pair<orv::SettingsRecord, std::string> recorded;
    {
        Emulator emulator(dir_.path(), {"--state", path("device.txt")});
        ASSERT_TRUE(emulator.started());
        recorded = readIntoFreshWindow(emulator.port(), true, 0);
    }
    EXPECT_FALSE(recorded.first.tables[orv::kSpeedDialTable].empty());
    const std::string kept = readFile(path("t.txt"));
    {
        orv::test::EmulatorProcess replay;
        ASSERT_TRUE(replay.start(path("replay-port"), {"--replay", path("t.txt")}));
        QFile::remove(path("1.txt"));
        const auto replayed = readIntoFreshWindow(replay.link(), false, 0);
        EXPECT_EQ(replayed.first, recorded.first);
        EXPECT_EQ(replayed.second, recorded.second);
        EXPECT_TRUE(replay.running());  // no line differed
        replay.stop();
    }
    {
        // "ATR8101" becomes "ATR8102" in the transcript: the program's line differs there.
        std::string changed = kept;
        const std::size_t at = changed.find(" > 8\n", changed.find(" > 8\n") + 1);
        ASSERT_NE(at, std::string::npos);
        const std::size_t one = changed.find(" > 1\n", changed.find(" > 0\n", at));
        ASSERT_NE(one, std::string::npos);
        changed.replace(one, 5, " > 2\n");
        std::ofstream(QFile::encodeName(path("changed.txt")).toStdString()) << changed;
        orv::test::EmulatorProcess replay;
        ASSERT_TRUE(replay.start(path("replay-port"), {"--replay", path("changed.txt")}));
        readIntoFreshWindow(replay.link(), false, 1);  // "Ошибка считывания данных"
        // It ended by itself at the line (it may have ended before the read failed).
        EXPECT_TRUE(waitUntil([&] { return !replay.running(); }, 5000));
    }
    QDir::setCurrent(oldDir);
}

// Escape during SIM clearing, answered Yes: the erases stop at the end of the line being sent,
// "AT+CPAS" closes the run, the user is told the last slot erased, and every slot after it
// keeps its entry.
TEST_F(DeviceCommandsE2E, EscapeStopsSimClearingAndTheSlotsAfterTheLastErasedKeepTheirEntries) {
    {
        std::ofstream state(QFile::encodeName(path("full.txt")).toStdString());
        for (int i = 1; i <= 150; ++i) {
            state << "slot " << i << " \"89" << i << "\" 129 \"W89" << i << "\"\n";
        }
    }
    Emulator emulator(dir_.path(), {"--state", path("full.txt"), "--log", path("emulator.log")});
    ASSERT_TRUE(emulator.started());
    TForm1 form;
    TForm4 progress(&form);
    form.setProgressWindow(&progress);
    ASSERT_TRUE(openPort(form, emulator.port()));

    // Yes to every question; the moment of the stop question's Yes and the slot then shown.
    std::vector<QString> shown;
    QElapsedTimer sinceYes;
    int positionAtYes = -1;
    const auto previous = orv::ui::setMessageBoxHook([&](QMessageBox& box) {
        shown.push_back(box.text());
        if (box.icon() == QMessageBox::Question) {
            positionAtYes = progress.position();
            sinceYes.start();
        }
        return int(QMessageBox::Yes);
    });
    form.Sim1Click();
    ASSERT_TRUE(waitUntil([&] { return progress.position() >= 4; }, 30000));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&progress, &escape);
    ASSERT_TRUE(waitUntil([&] { return !form.runner().busy() && shown.size() == 3; }, 10000));
    const qint64 latency = sinceYes.elapsed();
    orv::ui::setMessageBoxHook(previous);

    ASSERT_EQ(shown.size(), 3u);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^Стирание Sim-карты остановлено. Стерты записи с 1 по "
                                          "(\\d+), записи с \\d+ по 150 не изменены.$"))
            .match(shown[2]);
    ASSERT_TRUE(match.hasMatch()) << shown[2].toStdString();
    const int erased = match.captured(1).toInt();
    EXPECT_TRUE(erased == positionAtYes || erased == positionAtYes + 1)
        << erased << " erased, " << positionAtYes << " shown at the stop";
    EXPECT_FALSE(progress.isVisible());

    // The emulator's log: the erases up to the last, then the status line.
    std::istringstream log(readFile(path("emulator.log")));
    std::vector<std::pair<long, std::string>> lines;
    for (std::string entry; std::getline(log, entry);) {
        const auto blank = entry.find(' ');
        lines.emplace_back(std::stol(entry.substr(0, blank)), entry.substr(blank + 1));
    }
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back().second, "AT+CPAS");
    EXPECT_EQ(lines[lines.size() - 2].second, "AT+CPBW=" + std::to_string(erased));
    const long closing = lines.back().first - lines[lines.size() - 2].first;
    std::cout << "stop: " << latency << " ms from Yes to the end of the run, the last erase "
              << latency - closing << " ms after Yes (status line " << closing << " ms after it)"
              << std::endl;
    // The erase being sent ends within its 1.2 s at most; the status line follows at once.
    EXPECT_LT(latency - closing, 2000);
    EXPECT_LT(latency, 2500);

    const orv::e2e::DeviceState device = emulator.state();
    for (int i = 1; i <= 150; ++i) {
        EXPECT_EQ(device.phoneBook.count(i), i <= erased ? 0u : 1u) << "slot " << i;
    }
}

TEST_F(DeviceCommandsE2E, ClirQueryTellsTheDevicesStatus) {
    Emulator emulator(dir_.path(), {"--clir", "4"});
    ASSERT_TRUE(emulator.started());
    TForm1 form;
    ASSERT_TRUE(openPort(form, emulator.port()));
    Messages messages;
    form.Button1Click();
    ASSERT_TRUE(finished(form, 30000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].first, QStringLiteral("CLIR - временно предоставляется"));
    EXPECT_EQ(messages.shown[0].second, QMessageBox::Information);
}

// A recipient file with a name column, an empty line and a line without a number, on a network
// so slow that every confirmation comes two seconds after the program's read: the text, signs
// and all, reaches exactly the three numbers, each send counts as confirmed, and the report
// names the two lines left out.
TEST_F(DeviceCommandsE2E, SmsReachesExactlyTheNumbersOfAFileWithNames) {
    const QString record = path("sms.txt");
    Emulator emulator(dir_.path(), {"--sms-record", record, "--sms-delay", "9000"});
    ASSERT_TRUE(emulator.started());
    TForm1 form;
    TForm4 progress(&form);
    form.setProgressWindow(&progress);
    ASSERT_TRUE(openPort(form, emulator.port()));

    std::ofstream(path("recipients.txt").toStdString(), std::ios::binary)
        << "+8613812345678;" << fromUtf8("Иван Ёлкин") << "\r\n79002222222 " << fromUtf8("Пётр")
        << "\r\n\r\n"
        << fromUtf8("Иван") << "\r\n+79003333333\t" << fromUtf8("Ли") << "\r\n";
    Messages messages;
    form.loadRecipients(path("recipients.txt").toStdString());
    ASSERT_EQ(form.recipients().size(), 5u);
    form.findChild<QPlainTextEdit*>("Memo2")->setPlainText(QStringLiteral("Ёлка №1 «ура» — іїЁё€"));
    form.Button2Click();
    ASSERT_TRUE(finished(form, 150000));
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].first,
              QStringLiteral("Разослать SMS-сообщение 3 абонентам?\n\nТекст: «Ёлка №1 «ура» — "
                             "іїЁё€»\n\nНомера: +8613812345678, 79002222222, +79003333333\n\n"
                             "Строки без номера абонента (2) будут пропущены."));
    EXPECT_EQ(messages.shown[1].first,
              QStringLiteral("Строки без номера абонента не разосланы: 2.\nСтрока 3: (пустая)\n"
                             "Строка 4: Иван"));
    EXPECT_EQ(messages.shown[1].second, QMessageBox::Information);
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(readFile(record),
              "+8613812345678\tЁлка №1 «ура» — іїЁё€\n"
              "79002222222\tЁлка №1 «ура» — іїЁё€\n"
              "+79003333333\tЁлка №1 «ура» — іїЁё€\n");
}

// Three recipients, the second refused by the modem, the first answered late (after the second
// send went out): the report names exactly the refused one, and the resend it offers reaches
// that one alone, after the same question.
TEST_F(DeviceCommandsE2E, RefusedRecipientIsReportedAndResentAlone) {
    const QString record = path("sms.txt");
    const QString log = path("lines.txt");
    Emulator emulator(dir_.path(), {"--sms-record", record, "--log", log, "--refuse", "222:38",
                                    "--late", "111:8000"});
    ASSERT_TRUE(emulator.started());
    TForm1 form;
    ASSERT_TRUE(openPort(form, emulator.port()));
    std::ofstream(path("recipients.txt").toStdString(), std::ios::binary)
        << "111 A\r\n222 B\r\n333 C\r\n";
    form.loadRecipients(path("recipients.txt").toStdString());
    form.findChild<QPlainTextEdit*>("Memo2")->setPlainText(QStringLiteral("Hi"));
    form.runner().setHistoryFolder(dir_.path().toStdString(), "1.0.7");

    // Yes to the questions, "Разослать повторно" to the first report, OK to the next.
    std::vector<QString> shown;
    bool resent = false;
    const orv::ui::MessageBoxHook previous =
        orv::ui::setMessageBoxHook([&](QMessageBox& box) -> int {
            shown.push_back(box.text());
            if (box.standardButtons() & QMessageBox::Retry) {
                const bool first = !resent;
                resent = true;
                return first ? QMessageBox::Retry : QMessageBox::Ok;
            }
            return box.standardButtons() & QMessageBox::Yes ? QMessageBox::Yes : QMessageBox::Ok;
        });
    form.Button2Click();
    const bool done = waitUntil([&] { return shown.size() >= 4 && !form.runner().busy(); }, 150000);
    orv::ui::setMessageBoxHook(previous);
    ASSERT_TRUE(done);

    const std::vector<QString> expected = {
        QStringLiteral(
            "Разослать SMS-сообщение 3 абонентам?\n\nТекст: «Hi»\n\nНомера: 111, 222, 333"),
        QStringLiteral("Модем отклонил отправку SMS-сообщений: 1 из 3.\nНомера: 222 (ошибка 38)"),
        QStringLiteral("Разослать SMS-сообщение 1 абоненту?\n\nТекст: «Hi»\n\nНомера: 222"),
        QStringLiteral("Модем отклонил отправку SMS-сообщений: 1 из 1.\nНомера: 222 (ошибка 38)"),
    };
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(readFile(record), "111\tHi\n333\tHi\n");
    // The sends the modem took: the three, then the refused one alone.
    std::vector<std::string> sends;
    std::istringstream lines(readFile(log));
    for (std::string line; std::getline(lines, line);) {
        if (const std::size_t at = line.find("AT+CMSS=1,\""); at != std::string::npos) {
            sends.push_back(line.substr(at + 11, 12));
        }
    }
    EXPECT_EQ(sends, (std::vector<std::string>{"003100310031", "003200320032", "003300330033",
                                               "003200320032"}));
    // Each run's record ends as the command line's would: not all confirmed, one refused.
    const QStringList records =
        QDir(path("history")).entryList({QStringLiteral("*-sms*")}, QDir::Dirs, QDir::Name);
    ASSERT_EQ(records.size(), 2);
    for (const QString& name : records) {
        const std::string outcome = readFile(path("history/" + name + "/outcome.txt"));
        EXPECT_NE(outcome.find("\nstatus 7\n"), std::string::npos) << outcome;
        EXPECT_NE(outcome.find("\nfigure refused 1\nfigure not_sent 0\n"), std::string::npos)
            << outcome;
    }
}

}  // namespace
