// The main window's device commands: the questions asked before them on the user-interface
// thread, then each operation run on the link thread with the windows busy meanwhile.

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>
#include <optional>
#include <vector>

#include "app/main_window.h"
#include "app/messages.h"
#include "app/operation_runner.h"
#include "app/settings_history.h"
#include "app/text_bridge.h"
#include "app/widgets/sms_text_box.h"
#include "app/widgets/status_line.h"
#include "operations/line_services.h"
#include "operations/programming.h"
#include "records/recipients_csv.h"
#include "sms/broadcast.h"

using orv::ui::toQString;
using orv::ui::toText;

namespace {

// A warning with Yes and No; true only when the answer is Yes.
bool confirmed(QWidget* parent, const orv::Text& question) {
    return orv::ui::showMessage(parent, QMessageBox::Warning, toQString(question),
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::Yes) == QMessageBox::Yes;
}

}  // namespace

// Everything a command does on the user-interface thread runs through runCommand, reading the
// record from the window and planning the broadcast included: running out of memory there, or
// any other error, is told as inside the operations, and the program goes on.

void TForm1::N7Click() {
    // A record the device could not hold is refused before the question: the user mends it
    // first, and nothing is sent.
    orv::SettingsRecord settings;
    if (!orv::ui::runCommand(this, [&] {
            settings = record();
            orv::checkEncodable(settings);
        })) {
        return;
    }
    if (!confirmed(this, orv::writeProgrammingQuestion())) {
        return;
    }
    auto written = std::make_shared<const orv::SettingsRecord>(settings);
    orv::ui::RecordedAs recorded{"write", written, nullptr, true};
    recorded.windowBefore = std::make_shared<const orv::SettingsRecord>(sourceRecord_);
    recorded.deviceBefore = deviceKnown_;
    runner_->runOperation(
        [written](orv::OperationContext& ctx) { orv::writeProgramming(ctx, *written); },
        [this, written](std::exception_ptr error) {
            // The device holds exactly what was written.
            if (!error) {
                deviceKnown_ = written;
            }
        },
        recorded);
}

void TForm1::N2Click() {
    auto readBack = std::make_shared<orv::SettingsRecord>();
    if (!orv::ui::runCommand(this, [&] { *readBack = record(); })) {
        return;
    }
    runner_->runOperation(
        [readBack](orv::OperationContext& ctx) { orv::readProgramming(ctx, *readBack); },
        [this, readBack](std::exception_ptr error) {
            // A read or a load that failed changed nothing: the window keeps its record.
            if (!error) {
                takeReadBack(*readBack);
            }
        },
        {"read", nullptr, readBack, true});
}

void TForm1::takeReadBack(const orv::SettingsRecord& read) {
    deviceKnown_ = std::make_shared<const orv::SettingsRecord>(read);
    const bool changed =
        history().replace(QStringLiteral("Чтение программирования"), [&] { setRecord(read); });
    setSource(QStringLiteral("Устройство"));
    statusLine().setOutcome(changed ? QStringLiteral("Чтение программирования изменило настройки "
                                                     "окна (Ctrl+Z возвращает прежние)")
                                    : QStringLiteral("Чтение программирования: настройки окна не "
                                                     "изменились"));
}

void TForm1::CompareWithDeviceClick() {
    // A record that could not be written is refused first, as before write programming: the
    // device could never hold it.
    orv::SettingsRecord settings;
    if (!orv::ui::runCommand(this, [&] {
            settings = record();
            orv::checkEncodable(settings);
        })) {
        return;
    }
    auto differences = std::make_shared<orv::Differences>();
    auto device = std::make_shared<std::optional<orv::SettingsRecord>>();
    orv::ui::RecordedAs recorded{"check", std::make_shared<const orv::SettingsRecord>(settings),
                                 nullptr, false};
    recorded.summarize = [differences, words = windowWords()](orv::RunSummary& summary,
                                                              const orv::Port&) {
        summary.differences = orv::differenceCount(*differences);
        summary.message = orv::describeDifferences(*differences, words);
        summary.status = differences->none() ? orv::ExitStatus::Done : orv::ExitStatus::Differs;
    };
    runner_->runOperation(
        [settings, differences, device](orv::OperationContext& ctx) {
            *differences = orv::compareWithDevice(ctx, settings, device.get());
        },
        [this, differences, device](std::exception_ptr error) {
            if (error) {
                return;
            }
            if (*device) {
                deviceKnown_ = std::make_shared<const orv::SettingsRecord>(**device);
            }
            orv::ui::showMessage(
                this, differences->none() ? QMessageBox::Information : QMessageBox::Warning,
                toQString(orv::describeDifferences(*differences, windowWords())));
        },
        recorded);
}

void TForm1::Sim1Click() {
    if (!confirmed(this, orv::clearSimQuestion())) {
        return;
    }
    runner_->runOperation([](orv::OperationContext& ctx) { orv::clearSim(ctx); }, {},
                          {"clear-sim", nullptr, nullptr, false});
}

void TForm1::Button1Click() {
    auto outcome = std::make_shared<orv::Outcome>(orv::Outcome::Done);
    orv::ui::RecordedAs recorded{"clir", nullptr, nullptr, false};
    recorded.summarize = [outcome](orv::RunSummary& summary, const orv::Port&) {
        summary.status = orv::statusOf(*outcome);
    };
    runner_->runOperation([outcome](orv::OperationContext& ctx) { *outcome = orv::queryClir(ctx); },
                          {}, recorded);
}

void TForm1::N11Click() {
    runner_->runOperation([](orv::OperationContext& ctx) { orv::switchToDataMode(ctx); }, {},
                          {"data-mode", nullptr, nullptr, false});
}

void TForm1::Button3Click() {
    if (!OpenDialog2) {
        OpenDialog2 = new QFileDialog(this);
        OpenDialog2->setObjectName("OpenDialog2");
        // The platform's own dialog could move the process's current directory.
        OpenDialog2->setOption(QFileDialog::DontUseNativeDialog);
        OpenDialog2->setAcceptMode(QFileDialog::AcceptOpen);
        OpenDialog2->setFileMode(QFileDialog::AnyFile);
    }
    if (OpenDialog2->exec() != QDialog::Accepted || OpenDialog2->selectedFiles().isEmpty()) {
        return;
    }
    loadRecipients(OpenDialog2->selectedFiles().constFirst().toUtf8().toStdString());
}

void TForm1::loadRecipients(const std::string& path) {
    recipients_ = orv::RecipientList();
    recipientsLoaded_ = 1;
    // A spreadsheet's ".csv" gives the number from its column, the rest of the row the name.
    orv::ui::runCommand(this, [&] {
        recipients_ = orv::isCsvRecipientFile(path) ? orv::readRecipientsCsv(path)
                                                    : orv::readRecipients(path);
    });
}

void TForm1::Button2Click() {
    orv::ui::runCommand(this, [this] { planAndBroadcast(); });
}

void TForm1::planAndBroadcast() {
    if (!recipientsLoaded_) {
        orv::ui::showMessage(this, QMessageBox::Warning, toQString(orv::noRecipientFileMessage()));
        return;
    }
    std::vector<orv::Text> lines;
    for (const QString& line : orv::ui::shownLines(*Memo2)) {
        lines.push_back(toText(line));
    }
    broadcast(lines, recipients_);
}

void TForm1::broadcast(const std::vector<orv::Text>& lines, const orv::RecipientList& recipients) {
    // Nothing goes out before the user has seen whom the text reaches, and which text.
    const orv::BroadcastPlan plan = orv::planBroadcast(recipients);
    if (plan.numbers.empty()) {
        orv::ui::showMessage(this, QMessageBox::Warning, toQString(orv::noRecipientsMessage(plan)));
        return;
    }
    if (orv::ui::showMessage(
            this, QMessageBox::Question, toQString(orv::broadcastQuestion(lines, plan)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes) {
        return;
    }
    // A run that began sending ends with its report, which the window shows with what it
    // offers; the numbered errors before that are shown as any failure is.
    struct Ending {
        orv::BroadcastReport report;
        orv::MessageKind kind = orv::MessageKind::Information;
        orv::Text text;
        std::exception_ptr failure;  // what ended a run that had begun sending
    };
    auto ending = std::make_shared<Ending>();
    // Its record keeps the figures and the numbers not reached, as the command line's does.
    orv::ui::RecordedAs recorded{"sms", nullptr, nullptr, false};
    recorded.summarize = [ending](orv::RunSummary& summary, const orv::Port& port) {
        summary.message = ending->text;
        orv::tallyBroadcast(ending->report, summary);
        if (ending->failure) {
            summary.status = orv::statusOfFailure(ending->failure, port, summary.message);
        }
    };
    runner_->runOperation(
        [lines, recipients, ending](orv::OperationContext& ctx) {
            try {
                orv::broadcastSms(ctx, lines, recipients, ending->report);
                ending->text = orv::broadcastReportText(ending->report);
            } catch (const orv::Failure& failure) {
                if (ending->report.ending == orv::BroadcastEnding::None) {
                    throw;
                }
                ending->kind = failure.kind();
                ending->text = failure.text();
                ending->failure = std::current_exception();
            }
        },
        [this, lines, ending](std::exception_ptr error) {
            if (error) {
                return;
            }
            // When the program is told to close, nobody may be at the window: the report goes
            // where the messages of operations go then, and nothing is offered.
            if (runner_->reportingOnStandardError()) {
                if (!ending->text.empty()) {
                    orv::ui::OperationRunner::writeToStandardError(toQString(ending->text));
                }
                return;
            }
            showBroadcastReport(lines, ending->report, ending->kind, ending->text);
        },
        recorded);
}

void TForm1::showBroadcastReport(const std::vector<orv::Text>& lines,
                                 const orv::BroadcastReport& report, orv::MessageKind kind,
                                 const orv::Text& text) {
    if (text.empty()) {
        return;
    }
    const orv::RecipientList again = orv::notReached(report);
    for (;;) {
        QMessageBox box(orv::ui::iconFor(kind), orv::ui::messageTitle(), toQString(text),
                        QMessageBox::Ok, this);
        box.addButton(QMessageBox::Save)->setText(QStringLiteral("Сохранить отчёт…"));
        if (!again.empty()) {
            box.addButton(QMessageBox::Retry)->setText(QStringLiteral("Разослать повторно"));
        }
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        const int answer = orv::ui::execMessageBox(box);
        if (answer == QMessageBox::Save) {
            saveBroadcastReportAs(report);
            continue;
        }
        if (answer == QMessageBox::Retry) {
            broadcast(lines, again);
        }
        return;
    }
}

void TForm1::saveBroadcastReportAs(const orv::BroadcastReport& report) {
    QFileDialog dialog(this);
    dialog.setObjectName("SaveReportDialog");
    // The platform's own dialog could move the process's current directory.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setNameFilters({QStringLiteral("CSV (*.csv)"), QStringLiteral("Все файлы (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = dialog.selectedFiles().constFirst().toUtf8().toStdString();
    orv::ui::runCommand(this, [&] { orv::saveBroadcastReport(path, report); });
}
