// "История операций…": the records that operations over the scripted device left, newest first;
// the chosen one's outcome and transcript; its label edited; its configuration opened into the
// window as one step of undo; a support bundle of it, without the password digits unless asked.

// Before Qt's headers, which take the scripted device's member "slots" for their keyword.
#include "device_rig.h"

#include "app/dialogs/history_window.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QUndoStack>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/operation_runner.h"
#include "app/settings_history.h"
#include "app/widgets/status_line.h"
#include "base/platform.h"
#include "bundle_reader.h"
#include "operations/programming.h"
#include "records/history.h"
#include "records/run_outcome.h"
#include "records/transcript.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::HistoryWindow;

namespace {

constexpr std::time_t kStart = 1796855400;  // 2026-12-09 22:30:00 UTC
const std::string kPort = "/dev/ttyUSB0";
const std::string kById = "/dev/serial/by-id/usb-gw-if00-port0";

// The main window over a data folder whose history the test fills with operations run over the
// scripted device in virtual time, each leaving its record as the program writes it.
class HistoryWindowTest : public ::testing::Test {
  protected:
    HistoryWindowTest() {
        written.password = "5937";
        form.runner().setHistoryFolder(data.dir(), "1.0.7");
    }

    // Runs `operation` over a fresh scripted device into a record of `name`, the configuration
    // `kept` in it. A run that fails leaves its status.
    std::string recorded(const std::string& name,
                         const std::function<void(orv::OperationContext&)>& operation,
                         const orv::SettingsRecord* kept = nullptr, bool stopped = false) {
        orv::test::DeviceRig rig;
        if (stopped) {
            rig.stop.request();
        }
        orv::HistoryRecord record = history.begin(name, "");
        record.setPort(kPort, kById);
        if (kept) {
            record.saveConfiguration(*kept);
        }
        orv::RunSummary summary;
        {
            orv::TranscriptPort port(rig.port, rig.clock, record.transcriptPath(), kPort);
            orv::OperationContext ctx{port,     rig.clock,     rig.user,
                                      rig.user, rig.dir.dir(), &rig.stop};
            try {
                operation(ctx);
            } catch (...) {
                summary.status =
                    orv::statusOfFailure(std::current_exception(), port, summary.message);
            }
        }
        now += 60;
        record.finish(orv::historyOutcome(summary));
        return record.folder();
    }
    std::string recordedWrite() {
        return recorded(
            "write", [this](orv::OperationContext& ctx) { orv::writeProgramming(ctx, written); },
            &written);
    }

    // The window, shown with the list read when first asked for.
    HistoryWindow& window() {
        if (!form.historyWindow()) {
            child<QAction>(&form, "OperationHistory")->trigger();
        }
        return *form.historyWindow();
    }
    QTableWidget* table() { return child<QTableWidget>(&window(), "HistoryTable"); }
    QString cell(int row, int column) { return table()->item(row, column)->text(); }
    QString memo(const char* name) { return child<QPlainTextEdit>(&window(), name)->toPlainText(); }
    // Chooses the row of the record in `folder`.
    void choose(const std::string& folder) {
        for (int row = 0; row < window().rows(); ++row) {
            if (window().entry(row).folder == folder) {
                table()->selectRow(row);
                return;
            }
        }
        ADD_FAILURE() << "no row for " << folder;
    }

    ScopedWorkDir dir;
    orv::test::TempDir data;
    std::time_t now = kStart;
    orv::History history{data.dir(), [this] { return now; }, "1.0.7"};
    orv::SettingsRecord written = orv::test::sampleRecord();
    TForm1 form;
};

// The list, newest first; the chosen record's outcome and transcript beneath. A record of an
// operation still running is shown only: its label cannot be edited.
TEST_F(HistoryWindowTest, TheRecordsAreListedNewestFirstWithTheChosenOnesOutcomeAndTranscript) {
    const std::string write = recordedWrite();
    const std::string read = recorded("read", [](orv::OperationContext& ctx) {
        orv::SettingsRecord record;
        orv::readProgramming(ctx, record);
    });
    const std::string stopped = recorded(
        "clear-sim", [](orv::OperationContext& ctx) { orv::clearSim(ctx); }, nullptr, true);
    orv::HistoryRecord running = history.begin("check", "");
    running.setPort(kPort, kById);
    window();
    ASSERT_EQ(window().rows(), 4);
    EXPECT_EQ(table()->currentRow(), 0);  // the newest is chosen as the window opens
    const struct {
        std::string folder;
        const char* time;
        const char* operation;
        const char* outcome;
    } rows[] = {
        {running.folder(), "2026-12-09 22:33:00", "check", "не завершена"},
        {stopped, "2026-12-09 22:32:00", "clear-sim", "5 (остановлено): "},
        {read, "2026-12-09 22:31:00", "read", "0 (выполнено)"},
        {write, "2026-12-09 22:30:00", "write", "0 (выполнено)"},
    };
    for (int row = 0; row < 4; ++row) {
        const auto& r = rows[row];
        SCOPED_TRACE(r.operation);
        EXPECT_EQ(window().entry(row).folder, r.folder);
        EXPECT_EQ(cell(row, HistoryWindow::TimeColumn), QString::fromLatin1(r.time));
        EXPECT_EQ(cell(row, HistoryWindow::OperationColumn), QString::fromLatin1(r.operation));
        EXPECT_EQ(cell(row, HistoryWindow::PortColumn), QString::fromStdString(kPort));
        EXPECT_TRUE(
            cell(row, HistoryWindow::OutcomeColumn).startsWith(QString::fromUtf8(r.outcome)));
        EXPECT_EQ(
            table()->item(row, HistoryWindow::LabelColumn)->flags().testFlag(Qt::ItemIsEditable),
            row > 0);
        choose(r.folder);
        EXPECT_TRUE(
            memo("OutcomeMemo")
                .startsWith(QStringLiteral("operation ") + QString::fromLatin1(r.operation)));
        // The transcript from its first line to the closing status line the operation sent.
        if (row > 0) {
            const QString transcript = memo("TranscriptMemo");
            EXPECT_TRUE(transcript.startsWith(QStringLiteral("orvelin9 transcript 1\n")));
            EXPECT_TRUE(transcript.contains(QStringLiteral(" > S\n")));  // "AT+CPAS"
        }
    }
}

TEST_F(HistoryWindowTest, ALabelEditedIsKeptAndOneThatCannotBeWrittenIsToldAndShownAsItWas) {
    const std::string write = recordedWrite();
    const std::string away = write + ".away";
    const struct {
        const char* typed;
        bool recordThere;
        const char* shown;
        std::size_t told;
    } cases[] = {
        {"Склад 3", true, "Склад 3", 0},
        {"Склад 4", false, "Склад 3", 1},  // the record went meanwhile
    };
    window();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        MessageRecorder messages;
        if (!c.recordThere) {
            std::filesystem::rename(write, away);
        }
        table()->item(0, HistoryWindow::LabelColumn)->setText(QString::fromUtf8(c.typed));
        if (!c.recordThere) {
            std::filesystem::rename(away, write);
        }
        EXPECT_EQ(messages.shown.size(), c.told);
        EXPECT_EQ(cell(0, HistoryWindow::LabelColumn), QString::fromUtf8(c.shown));
        EXPECT_EQ(orv::test::readFile(write + "/label.txt"), std::string(c.shown) + "\n");
    }
    // Read afresh, the list shows the label kept.
    window().refresh();
    EXPECT_EQ(cell(0, HistoryWindow::LabelColumn), QStringLiteral("Склад 3"));
}

// "Открыть в окне" loads the record's configuration as "Открыть" does: one step of undo, which
// brings the previous record back; a configuration that is refused is told and changes nothing.
TEST_F(HistoryWindowTest, ARecordOpensIntoTheWindowAsOneStepOfUndo) {
    const std::string write = recordedWrite();
    const std::string damaged = recordedWrite();
    orv::test::writeFile(damaged + "/record.cfg", "ATW8001ZZ\r\n");
    const orv::SettingsRecord before = orv::test::shortRecord();
    form.setRecord(before);
    form.history().reset();
    const struct {
        std::string folder;
        bool opens;
    } cases[] = {{damaged, false}, {write, true}};
    for (const auto& c : cases) {
        MessageRecorder messages;
        window();
        choose(c.folder);
        EXPECT_EQ(window().openChosen(), c.opens);
        EXPECT_EQ(messages.shown.size(), c.opens ? 0u : 1u);
        EXPECT_TRUE(form.record() == (c.opens ? written : before));
        EXPECT_EQ(form.history().stack().count(), c.opens ? 1 : 0);
    }
    // The status bar names the record's configuration as the settings' source.
    EXPECT_EQ(
        form.statusLine().sourceText(),
        QString::fromStdString(std::filesystem::path(write).filename().string() + "/record.cfg"));
    form.history().stack().undo();
    EXPECT_TRUE(form.record() == before);
}

// The lines of a configuration file that set a password digit, their values.
std::vector<std::string> passwordValues(const std::string& configuration) {
    std::vector<std::string> values;
    std::size_t at = 0;
    while (at < configuration.size()) {
        std::size_t end = configuration.find('\n', at);
        end = end == std::string::npos ? configuration.size() : end;
        const std::string line = configuration.substr(at, end - at);
        for (char digit = '1'; digit <= '7'; ++digit) {
            const std::string head = std::string("ATW9") + digit + "01";
            if (line.rfind(head, 0) == 0) {
                values.push_back(line.substr(head.size()));
            }
        }
        at = end + 1;
    }
    return values;
}

// "Экспорт для поддержки…": a save dialog, then the question, "Нет" by default; the bundle
// holds the record, its password digits masked unless the answer was Yes.
TEST_F(HistoryWindowTest, TheSupportBundleHoldsNoPasswordDigitUnlessAsked) {
    const std::string write = recordedWrite();
    const std::vector<std::string> digits =
        passwordValues(orv::test::readFile(write + "/record.cfg"));
    ASSERT_FALSE(digits.empty());
    const struct {
        QMessageBox::StandardButton answer;
        bool digitsKept;
    } cases[] = {{QMessageBox::No, false}, {QMessageBox::Yes, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.digitsKept);
        const QString bundle = dir.path(c.digitsKept ? "with.tar.gz" : "without.tar.gz");
        window();
        choose(write);
        MessageRecorder messages(c.answer);
        answerFileDialog(&window(), "ExportDialog", bundle);
        child<QPushButton>(&window(), "ExportButton")->click();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].defaultButton, QMessageBox::No);
        const std::map<std::string, std::string> files =
            orv::test::readBundle(bundle.toStdString());
        std::string cfg;
        for (const auto& [name, content] : files) {
            if (name.size() > 11 && name.compare(name.size() - 11, 11, "/record.cfg") == 0) {
                cfg = content;
            }
        }
        const std::vector<std::string> values = passwordValues(cfg);
        ASSERT_EQ(values.size(), digits.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (c.digitsKept) {
                EXPECT_EQ(values[i], digits[i]);
            } else {
                EXPECT_EQ(values[i].find_first_of("0123456789"), std::string::npos) << values[i];
            }
        }
    }
}

}  // namespace
