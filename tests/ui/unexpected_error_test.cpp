// Out of memory in the main window's handlers outside the device operations: the terminal
// taking what the device sent, reading the record from the window before a command, planning
// the broadcast. Each is told as inside a command, and the program goes on.

#include <QPlainTextEdit>
#include <fstream>
#include <functional>

#include "app/main_window.h"
#include "link/link.h"
#include "memory_fault.h"
#include "ui_support.h"

using namespace orv::ui::test;

namespace {

const QString kOutOfMemory = QStringLiteral(
    "Недостаточно памяти: команда не выполнена. Закройте другие программы и повторите попытку.");

// An allocation of this size or more fails; the window's own needs stay below it.
constexpr std::size_t kFailingSize = std::size_t{1} << 20;

class UnexpectedErrorTest : public ::testing::Test {
  public:
    // A phone table large enough that reading the record takes a block past kFailingSize.
    void fillCallBackTable() {
        orv::SettingsRecord r;
        r.tables[orv::kCallBackTable].assign(20000, orv::PhoneRecord{"123", ""});
        form.setRecord(r);
    }
    // A recipient list whose plan takes a block past kFailingSize.
    void loadLongRecipientList() {
        const std::string path = dir.path("list.txt").toStdString();
        std::ofstream list(path, std::ios::binary);
        for (int n = 0; n < 40000; ++n) {
            list << "+7900" << 1000000 + n << "\r\n";
        }
        list.close();
        form.loadRecipients(path);
    }

    ScopedWorkDir dir;
    TForm1 form;
};

TEST_F(UnexpectedErrorTest, OutOfMemoryInAHandlerIsToldAndTheProgramGoesOn) {
    const QByteArray flood(2 * static_cast<qsizetype>(kFailingSize), 'a');
    struct Case {
        const char* handler;
        std::function<void(UnexpectedErrorTest&)> prepare;
        std::function<void(TForm1&)> run;
    };
    const Case cases[] = {
        {"terminal", [](UnexpectedErrorTest&) {},
         [&flood](TForm1& window) { emit window.link().received(flood); }},
        {"write programming", &UnexpectedErrorTest::fillCallBackTable,
         [](TForm1& window) { window.N7Click(); }},
        {"read programming", &UnexpectedErrorTest::fillCallBackTable,
         [](TForm1& window) { window.N2Click(); }},
        {"check against the device", &UnexpectedErrorTest::fillCallBackTable,
         [](TForm1& window) { window.CompareWithDeviceClick(); }},
        {"broadcast", &UnexpectedErrorTest::loadLongRecipientList,
         [](TForm1& window) { window.Button2Click(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handler);
        c.prepare(*this);
        MessageRecorder messages(QMessageBox::No);
        {
            FailingAllocation failing(kFailingSize);
            EXPECT_NO_THROW(c.run(form));
            EXPECT_TRUE(failing.happened());
        }
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, kOutOfMemory);
        EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
        EXPECT_FALSE(form.runner().busy());
    }
    // The terminal goes on showing what comes.
    emit form.link().received("ok");
    EXPECT_TRUE(child<QPlainTextEdit>(&form, "Memo1")->toPlainText().endsWith("ok"));
}

}  // namespace
