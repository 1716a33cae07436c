// The recipients of a broadcast from the report of an earlier one: its rows as recipient lines,
// those not reached alone with --only-unreached, and a plain list refused for that.

#include <gtest/gtest.h>

#include "cli/arguments.h"
#include "cli/recipient_source.h"
#include "test_support.h"

namespace orv::cli {
namespace {

const std::string kReport =
    "\xEF\xBB\xBFНомер;Имя;Результат;Время;Код ошибки\r\n"
    "+79001111111;Анна;отправлено;2026-12-09T18:05:25;\r\n"
    "+79002222222;\"Петров; склад\";отклонено;2026-12-09T18:05:40;21\r\n"
    "+79003333333;;не подтверждено;2026-12-09T18:05:55;\r\n"
    "+79004444444;Борис;не отправлено;;\r\n"
    ";строка без номера;не отправлено;;\r\n";

TEST(RecipientSource, AReportGivesItsRowsBackAsRecipientLines) {
    EXPECT_TRUE(isBroadcastReport(kReport));
    EXPECT_FALSE(isBroadcastReport("+79001111111 Анна\r\n"));
    const auto ru = [](const char* utf8) { return cp1251::fromUtf8(utf8); };
    EXPECT_EQ(reportRecipients(kReport, false),
              (RecipientList{ru("+79001111111 Анна"), ru("+79002222222 Петров; склад"),
                             "+79003333333", ru("+79004444444 Борис"), ru("строка без номера")}));
    EXPECT_EQ(reportRecipients(kReport, true),
              (RecipientList{ru("+79002222222 Петров; склад"), "+79003333333",
                             ru("+79004444444 Борис")}));
}

TEST(RecipientSource, OnlyUnreachedNeedsAReport) {
    test::TempDir dir;
    test::writeFile(dir.path("list.txt"), "+79001111111\r\n");
    test::writeFile(dir.path("report.csv"), kReport);
    EXPECT_EQ(readRecipientSource(dir.path("list.txt"), false), (RecipientList{"+79001111111"}));
    EXPECT_THROW(readRecipientSource(dir.path("list.txt"), true), UsageError);
    EXPECT_EQ(readRecipientSource(dir.path("report.csv"), true).size(), 3u);
    EXPECT_THROW(readRecipientSource(dir.path("missing.txt"), false), Failure);
}

}  // namespace
}  // namespace orv::cli
