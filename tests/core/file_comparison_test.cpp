#include "records/file_comparison.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "sample_record.h"
#include "settings/config_file.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;

TEST(FileComparison, TheWindowAgainstAFileGivesTheChecksDifferences) {
    test::TempDir dir;
    const SettingsRecord saved = test::sampleRecord();
    SaveData(dir.path("a.cfg"), saved);
    EXPECT_TRUE(compareWithFile(saved, dir.path("a.cfg")).none());

    SettingsRecord shown = saved;
    shown.volume = "60";
    shown.tables[kCallBackTable][0].number = "8901";
    const Differences d = compareWithFile(shown, dir.path("a.cfg"));
    ASSERT_EQ(d.settings.size(), 1u);
    EXPECT_EQ(d.settings[0].window, "60");
    EXPECT_EQ(d.settings[0].device, "55");
    EXPECT_EQ(d.numbers.size(), 2u);
    const Text report = describeDifferences(d, tableWords());
    EXPECT_NE(report.find(cp("Абоненты включенным Call Back")), Text::npos);

    SaveData(dir.path("b.cfg"), shown);
    const Differences files = compareFiles(dir.path("b.cfg"), dir.path("a.cfg"));
    EXPECT_EQ(files.settings, d.settings);
    EXPECT_EQ(files.numbers, d.numbers);
}

TEST(FileComparison, AFileThatDoesNotLoadIsRefused) {
    test::TempDir dir;
    test::writeFile(dir.path("bad.cfg"), "nonsense\r\n");
    EXPECT_THROW(compareWithFile(SettingsRecord(), dir.path("bad.cfg")), Failure);
    EXPECT_THROW(compareWithFile(SettingsRecord(), dir.path("missing.cfg")), Failure);
}

}  // namespace
}  // namespace orv
