#pragma once
// What a broadcast did for each line of its recipient list, as the message at its end tells it
// and as the report file ("Сохранить отчёт…") keeps it, and whom a second broadcast of the same
// text would have to reach.

#include <string>
#include <vector>

#include "sms/recipients.h"

namespace orv {

// A line of the recipient list that gives no number: nothing is sent for it, and the report
// names it.
struct SkippedLine {
    std::size_t line = 0;  // its place in the file, from 1
    Text text;
};

// Up to ten numbers, ", " between them, and how many more there are ("и ещё 2").
Text reportedNumbers(const std::vector<Text>& numbers);
// The lines left out, one a line (each after a line break), the first ten of them.
Text skippedLinesText(const std::vector<SkippedLine>& skipped);

// What became of one recipient line.
enum class SendOutcome {
    Confirmed,    // the modem answered its send with "+CMSS:"
    Unconfirmed,  // sent, but no answer came
    Refused,      // the modem answered "+CMS ERROR: <code>" (or "ERROR")
    NotSent,      // never sent: the run ended before it, or the line gives no number
};

struct RecipientRow {
    std::size_t line = 0;  // its place in the list, from 1
    Text text;             // the whole line as read
    Text number;           // as sent; empty for a line that gives no number
    SendOutcome outcome = SendOutcome::NotSent;
    std::string time;   // when its send went out: ISO 8601, local; empty when not sent
    std::string error;  // the modem's error code of a refusal ("ERROR" for the bare one)
};

// How the broadcast ended once its sending had begun (None: before that, or not at all).
enum class BroadcastEnding {
    None,
    Finished,
    Stopped,        // at a line boundary, after the message was stored
    StoppedInText,  // at the modem's text prompt: the text was cancelled, nothing stored
    LineLost,       // the serial line went away
};

struct BroadcastReport {
    BroadcastEnding ending = BroadcastEnding::None;
    std::vector<RecipientRow> rows;  // every line of the list, in order

    std::size_t numbers() const;  // the rows that give a number
};

// A report of the list with every line not sent yet.
BroadcastReport newBroadcastReport(const RecipientList& recipients);

// The message at the end of a broadcast: for a finished run the recipients not confirmed and
// refused and the lines without a number (empty when there is nothing to tell); for a stopped
// or cut run whom the message was sent and whom not.
Text broadcastReportText(const BroadcastReport& report);

// The lines of the recipients a second broadcast of the same text would reach: every row with
// a number whose send was not confirmed (refused, unconfirmed or never sent), in list order.
RecipientList notReached(const BroadcastReport& report);

// The report file: UTF-8 with a byte order mark, ";" between the fields, a header row, then
// one row per recipient line: number, name, outcome, time, error code.
std::string broadcastReportCsv(const BroadcastReport& report);
// Writes it, replacing the file in one step; throws the runtime's file error when it cannot.
void saveBroadcastReport(const std::string& path, const BroadcastReport& report);

}  // namespace orv
