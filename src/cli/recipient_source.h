#pragma once
// Where the broadcast of the command line takes its recipients: a recipient file as the window
// loads it, or the report of an earlier broadcast ("Сохранить отчёт…", or sms --report), whose
// rows become recipient lines again.

#include <string>

#include "sms/recipients.h"

namespace orv::cli {

// True when the bytes are a broadcast report: UTF-8 with a byte order mark and its header row.
bool isBroadcastReport(const std::string& bytes);

// The rows of a report as recipient lines (code page 1251): the number, then the name. With
// `onlyUnreached` only the rows with a number whose send was not confirmed (refused, not
// confirmed, never sent).
RecipientList reportRecipients(const std::string& bytes, bool onlyUnreached);

// Reads the file named by --to: a report, or a recipient file (readRecipients). A recipient file
// with `onlyUnreached` is refused: it tells nothing of earlier sends. Throws Failure.
RecipientList readRecipientSource(const std::string& path, bool onlyUnreached);

}  // namespace orv::cli
