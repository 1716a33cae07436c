#include "sms/broadcast_report.h"

#include <algorithm>

#include "operations/operation.h"
#include "settings/config_file.h"

namespace orv {
namespace {

// How many numbers, and how many lines without one, a message lists; how much of such a line.
constexpr std::size_t kReportedNumbers = 10;
constexpr std::size_t kReportedLines = 10;
constexpr std::size_t kShownLineLength = 30;

std::vector<const RecipientRow*> rowsWhere(const BroadcastReport& report, SendOutcome outcome,
                                           bool numbered = true) {
    std::vector<const RecipientRow*> rows;
    for (const RecipientRow& row : report.rows) {
        if (row.outcome == outcome && row.number.empty() != numbered) {
            rows.push_back(&row);
        }
    }
    return rows;
}

// A refused number with the modem's reason: "+79001234567 (ошибка 21)".
Text refusedNumber(const RecipientRow& row) {
    if (row.error.empty() || row.error == "ERROR") {
        return row.number + cp1251::fromUtf8(" (ошибка)");
    }
    return row.number + cp1251::fromUtf8(" (ошибка ") + row.error + ")";
}

Text listOf(const std::vector<const RecipientRow*>& rows, bool withErrors = false) {
    std::vector<Text> numbers;
    for (const RecipientRow* row : rows) {
        numbers.push_back(withErrors ? refusedNumber(*row) : row->number);
    }
    return reportedNumbers(numbers);
}

std::vector<SkippedLine> skippedOf(const BroadcastReport& report) {
    std::vector<SkippedLine> skipped;
    for (const RecipientRow& row : report.rows) {
        if (row.number.empty()) {
            skipped.push_back({row.line, row.text});
        }
    }
    return skipped;
}

// The recipients a finished run did not reach, and the lines it left out.
Text finishedText(const BroadcastReport& report) {
    const std::string total = std::to_string(report.numbers());
    Text text;
    const auto unconfirmed = rowsWhere(report, SendOutcome::Unconfirmed);
    if (!unconfirmed.empty()) {
        text += cp1251::fromUtf8("Не подтверждена отправка SMS-сообщений: ") +
                std::to_string(unconfirmed.size()) + cp1251::fromUtf8(" из ") + total +
                cp1251::fromUtf8(".\nНомера: ") + listOf(unconfirmed);
    }
    const auto refused = rowsWhere(report, SendOutcome::Refused);
    if (!refused.empty()) {
        text += text.empty() ? "" : "\n\n";
        text += cp1251::fromUtf8("Модем отклонил отправку SMS-сообщений: ") +
                std::to_string(refused.size()) + cp1251::fromUtf8(" из ") + total +
                cp1251::fromUtf8(".\nНомера: ") + listOf(refused, true);
    }
    return text;
}

// Whom a run that ended early sent the message and whom not: the sends go out in list order.
Text partialText(const BroadcastReport& report) {
    const std::string total = std::to_string(report.numbers());
    std::vector<const RecipientRow*> sent;
    std::vector<const RecipientRow*> notSent;
    for (const RecipientRow& row : report.rows) {
        if (!row.number.empty()) {
            (row.outcome == SendOutcome::NotSent ? notSent : sent).push_back(&row);
        }
    }
    const Text stopped = cp1251::fromUtf8(
        report.ending == BroadcastEnding::LineLost ? "Сообщение" : "Рассылка остановлена");
    if (sent.empty()) {
        Text text = stopped +
                    cp1251::fromUtf8(report.ending == BroadcastEnding::LineLost
                                         ? " не отправлено ни одному из "
                                         : ": сообщение не отправлено ни одному из ") +
                    total + cp1251::fromUtf8(" абонентов.");
        if (report.ending == BroadcastEnding::StoppedInText) {
            text += cp1251::fromUtf8(
                " Ввод текста сообщения отменён: в память модема оно не "
                "записано.");
        }
        return text;
    }
    Text text = stopped +
                cp1251::fromUtf8(report.ending == BroadcastEnding::LineLost
                                     ? " отправлено абонентам с 1 по "
                                     : ". Сообщение отправлено абонентам с 1 по ") +
                std::to_string(sent.size()) + cp1251::fromUtf8(" из ") + total + ": " +
                listOf(sent) + ".";
    const auto unconfirmed = rowsWhere(report, SendOutcome::Unconfirmed);
    if (!unconfirmed.empty()) {
        text += cp1251::fromUtf8("\nИз них не подтверждена отправка: ") + listOf(unconfirmed) + ".";
    }
    const auto refused = rowsWhere(report, SendOutcome::Refused);
    if (!refused.empty()) {
        text += cp1251::fromUtf8("\nИз них модем отклонил: ") + listOf(refused, true) + ".";
    }
    if (!notSent.empty()) {
        text += cp1251::fromUtf8("\nНе отправлено абонентам с ") + std::to_string(sent.size() + 1) +
                cp1251::fromUtf8(" по ") + total + ": " + listOf(notSent) + ".";
    }
    return text;
}

const char* outcomeWord(SendOutcome outcome) {
    switch (outcome) {
        case SendOutcome::Confirmed:
            return "отправлено";
        case SendOutcome::Unconfirmed:
            return "не подтверждено";
        case SendOutcome::Refused:
            return "отклонено";
        case SendOutcome::NotSent:
            break;
    }
    return "не отправлено";
}

// One field of the report file (UTF-8): quoted when it holds the separator, a quotation mark
// or a line break, its quotation marks doubled.
std::string csvField(const std::string& utf8) {
    if (utf8.find_first_of(";\"\r\n") == std::string::npos) {
        return utf8;
    }
    std::string quoted = "\"";
    for (char c : utf8) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::vector<std::string> csvRows(const BroadcastReport& report) {
    std::vector<std::string> rows = {
        "\xEF\xBB\xBF"
        "Номер;Имя;Результат;Время;Код ошибки"};
    for (const RecipientRow& row : report.rows) {
        const Text name = row.number.empty() ? row.text : recipientName(row.text);
        rows.push_back(csvField(cp1251::toUtf8(row.number)) + ";" + csvField(cp1251::toUtf8(name)) +
                       ";" + outcomeWord(row.outcome) + ";" + csvField(row.time) + ";" +
                       csvField(row.error));
    }
    return rows;
}

}  // namespace

Text reportedNumbers(const std::vector<Text>& numbers) {
    Text text;
    const std::size_t end = std::min(numbers.size(), kReportedNumbers);
    for (std::size_t i = 0; i < end; ++i) {
        text += i > 0 ? ", " : "";
        text += numbers[i].empty() ? cp1251::fromUtf8("(пусто)") : numbers[i];
    }
    if (numbers.size() > end) {
        text += cp1251::fromUtf8(" и ещё ") + std::to_string(numbers.size() - end);
    }
    return text;
}

Text skippedLinesText(const std::vector<SkippedLine>& skipped) {
    Text text;
    const std::size_t listed = std::min(skipped.size(), kReportedLines);
    for (std::size_t i = 0; i < listed; ++i) {
        const SkippedLine& s = skipped[i];
        text += cp1251::fromUtf8("\nСтрока ") + std::to_string(s.line) + ": ";
        if (s.text.empty()) {
            text += cp1251::fromUtf8("(пустая)");
        } else if (s.text.size() > kShownLineLength) {
            text += s.text.substr(0, kShownLineLength) + "...";
        } else {
            text += s.text;
        }
    }
    if (skipped.size() > listed) {
        text += cp1251::fromUtf8("\nи ещё ") + std::to_string(skipped.size() - listed);
    }
    return text;
}

std::size_t BroadcastReport::numbers() const {
    return static_cast<std::size_t>(std::count_if(
        rows.begin(), rows.end(), [](const RecipientRow& row) { return !row.number.empty(); }));
}

BroadcastReport newBroadcastReport(const RecipientList& recipients) {
    BroadcastReport report;
    for (std::size_t i = 0; i < recipients.size(); ++i) {
        RecipientRow row;
        row.line = i + 1;
        row.text = recipients[i];
        row.number = recipientNumber(recipients[i]);
        report.rows.push_back(std::move(row));
    }
    return report;
}

Text broadcastReportText(const BroadcastReport& report) {
    Text text;
    switch (report.ending) {
        case BroadcastEnding::None:
            return text;
        case BroadcastEnding::Finished:
            text = finishedText(report);
            break;
        case BroadcastEnding::LineLost:
            text = lineLostMessage() + "\n\n" + partialText(report);
            break;
        case BroadcastEnding::Stopped:
        case BroadcastEnding::StoppedInText:
            text = partialText(report);
            break;
    }
    const std::vector<SkippedLine> skipped = skippedOf(report);
    if (!skipped.empty()) {
        text += text.empty() ? "" : "\n\n";
        text += cp1251::fromUtf8("Строки без номера абонента не разосланы: ") +
                std::to_string(skipped.size()) + "." + skippedLinesText(skipped);
    }
    return text;
}

RecipientList notReached(const BroadcastReport& report) {
    RecipientList lines;
    for (const RecipientRow& row : report.rows) {
        if (!row.number.empty() && row.outcome != SendOutcome::Confirmed) {
            lines.push_back(row.text);
        }
    }
    return lines;
}

std::string broadcastReportCsv(const BroadcastReport& report) {
    std::string csv;
    for (const std::string& row : csvRows(report)) {
        csv += row + "\r\n";
    }
    return csv;
}

void saveBroadcastReport(const std::string& path, const BroadcastReport& report) {
    saveLines(path, csvRows(report));
}

}  // namespace orv
