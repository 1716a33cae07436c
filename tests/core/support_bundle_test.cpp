// The support bundle, read back with libarchive: every regular file of a write's record under
// the record's folder, no password digit unless asked (the index says which), and whatever is
// no regular file, or is past its bound, left out and named.

#include "records/support_bundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "base/errors.h"
#include "base/regular_file.h"
#include "bundle_reader.h"
#include "device_rig.h"
#include "history_records.h"
#include "hostile_file.h"
#include "operations/programming.h"
#include "records/transcript.h"
#include "sample_record.h"
#include "settings/config_file.h"

namespace orv {
namespace {

using test::readBundle;

// The lines the program sent, from a transcript's "> " events.
CommandList sentLines(const std::string& transcript) {
    std::string sent;
    std::size_t at = 0;
    while ((at = transcript.find(" > ", at)) != std::string::npos) {
        const std::size_t end = transcript.find('\n', at);
        std::string byte;
        EXPECT_TRUE(unescapeTranscriptBytes(transcript.substr(at + 3, end - at - 3), byte));
        sent += byte;
        at = end;
    }
    return splitLines(sent);
}

// The values of the password-digit register lines, in order.
std::string passwordValues(const CommandList& lines) {
    std::string values;
    for (const Text& line : lines) {
        for (std::size_t p = 1; p <= device::kPasswordDigitRegisterCount; ++p) {
            if (line.rfind(device::writeCommand(device::passwordDigitRegister(p)), 0) == 0) {
                values += line.substr(7);
            }
        }
    }
    return values;
}

// A write programming's record as the program leaves it: the configuration written, the
// window's record and the device's before it, "1.txt" and the transcript.
struct WriteRecord : ::testing::Test {
    WriteRecord() {
        HistoryRecord record = h.history.begin("write", "site");
        folder = record.folder();
        name = std::filesystem::path(folder).filename().string();
        record.saveConfiguration(test::sampleRecord());
        record.saveConfigurationAs(kWindowBeforeFile, test::shortRecord());
        record.saveConfigurationAs(kDeviceBeforeFile, test::sampleRecord());
        {
            TranscriptPort port(rig.port, rig.clock, record.transcriptPath(), "/dev/ttyUSB0");
            OperationContext ctx{port, rig.clock, rig.user, rig.user, rig.dir.dir(), &rig.stop};
            writeProgramming(ctx, test::sampleRecord());
        }
        record.copyCommandList(rig.dir.path("1.txt"));
        record.finish({"0", "Программирование завершено", {}, {}});
    }

    std::string bundle() const { return h.data.path("bundle.tar.gz"); }
    std::string in(const std::string& file) const { return name + "/" + file; }

    test::HistoryRecords h;
    test::DeviceRig rig;
    std::string folder;
    std::string name;
};

TEST_F(WriteRecord, NoPasswordDigitUnlessAsked) {
    const struct {
        bool include;
        const char* indexLine;
        std::string sample;  // the sample record's password values
        std::string window;  // the short record's
    } cases[] = {
        {false,
         "Цифры пароля: заменены на «*» (1.txt, device-before.cfg, record.cfg, transcript.txt, "
         "window-before.cfg)\n",
         std::string(14, '*'), "****"},
        {true, "Цифры пароля: включены как есть\n", "07060504030201", "0102"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.include ? "included" : "masked");
        writeSupportBundle(folder, bundle(), c.include);
        const std::map<std::string, std::string> files = readBundle(bundle());
        EXPECT_EQ(files.size(), 9u);  // the top folder, the index, the record's seven files
        for (const char* cfg : {"record.cfg", "device-before.cfg", "1.txt", "window-before.cfg"}) {
            EXPECT_EQ(passwordValues(splitLines(files.at(in(cfg)))),
                      cfg == std::string("window-before.cfg") ? c.window : c.sample);
        }
        const std::string transcript = files.at(in("transcript.txt"));
        EXPECT_EQ(passwordValues(sentLines(transcript)), c.sample);
        EXPECT_EQ(sentLines(transcript).size(), rig.port.lines().size());  // nothing else gone
        EXPECT_NE(files.at(in("index.txt")).find(c.indexLine), std::string::npos);
    }
}

#ifndef _WIN32
TEST_F(WriteRecord, WhatIsNoRegularFileOrPastItsBoundIsLeftOutAndNamed) {
    const std::string extra = folder + "/extra.cfg";
    for (test::Hostile hostile : test::kAllHostile) {
        std::filesystem::remove_all(extra);
        test::makeHostile(hostile, extra, kConfigFileBound.bytes);
        writeSupportBundle(folder, bundle(), false);
        const std::map<std::string, std::string> files = readBundle(bundle());
        EXPECT_EQ(files.count(in("extra.cfg")), 0u) << test::name(hostile);
        EXPECT_NE(files.at(in("index.txt")).find("Не вошли:\n  extra.cfg: "), std::string::npos);
    }
    std::filesystem::remove_all(extra);
    std::filesystem::create_symlink(folder + "/record.cfg", extra);  // even into the record
    writeSupportBundle(folder, bundle(), true);
    EXPECT_EQ(readBundle(bundle()).count(in("extra.cfg")), 0u);
    EXPECT_THROW(writeSupportBundle(folder, h.data.path("missing/b.tar.gz"), false), Failure);
    EXPECT_THROW(writeSupportBundle(folder + "-gone", bundle(), false), Failure);
}
#endif

}  // namespace
}  // namespace orv
