// The terminal against a device that floods the line: the text keeps its last lines, each of a
// bounded length, and the link hands the window what it read in batches, so that memory stays
// bounded, the window keeps answering and an operation that meets the flood ends with its
// message.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "app/widgets/terminal.h"
#include "link/clock.h"
#include "link/link.h"
#include "link/presence.h"
#include "link/terminal_text.h"
#include "ui_support.h"

using namespace orv::ui::test;
using orv::ui::Terminal;

namespace {

std::string noise(std::size_t size, std::uint32_t& state) {
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<char>(state >> 24);
    }
    return bytes;
}

// The longest block of the text, in characters.
int longestBlock(const QPlainTextEdit& memo) {
    int longest = 0;
    for (QTextBlock b = memo.document()->begin(); b.isValid(); b = b.next()) {
        longest = std::max(longest, b.length() - 1);
    }
    return longest;
}

const int kLines = static_cast<int>(orv::kTerminalLines);
const int kLineLength = static_cast<int>(orv::kTerminalLineLength);

class BoundedTerminal : public ::testing::Test {
  protected:
    QPlainTextEdit memo;
    Terminal terminal{&memo};
};

TEST_F(BoundedTerminal, KeepsTheLastLinesAndDropsTheOldest) {
    QByteArray lines;
    for (int i = 0; i < 2500; ++i) {
        lines += "line " + QByteArray::number(i) + "\r";
        if (i % 100 == 99) {
            terminal.show(lines);
            lines.clear();
        }
    }
    EXPECT_EQ(memo.document()->blockCount(), kLines);
    EXPECT_EQ(memo.document()->firstBlock().text(), QStringLiteral("line 1501"));
    EXPECT_EQ(memo.document()->lastBlock().previous().text(), QStringLiteral("line 2499"));
    EXPECT_EQ(memo.textCursor().position(), memo.document()->characterCount() - 1);
    EXPECT_FALSE(memo.document()->isUndoRedoEnabled());
}

TEST_F(BoundedTerminal, AFullLineGoesOnInANewLineAtTheEnd) {
    terminal.show(QByteArray(2500, 'x'));
    ASSERT_EQ(memo.document()->blockCount(), 3);
    EXPECT_EQ(memo.document()->findBlockByNumber(0).length() - 1, kLineLength);
    EXPECT_EQ(memo.document()->findBlockByNumber(1).length() - 1, kLineLength);
    EXPECT_EQ(memo.document()->lastBlock().text(), QString(500, 'x'));
    EXPECT_EQ(memo.textCursor().position(), memo.document()->characterCount() - 1);

    // At a caret inside a line, as much as the line has room for, the rest at the end.
    memo.setPlainText("ab\ncd");
    QTextCursor caret(memo.document());
    caret.setPosition(1);
    memo.setTextCursor(caret);
    terminal.show(QByteArray(kLineLength, 'y'));
    ASSERT_EQ(memo.document()->blockCount(), 3);
    EXPECT_EQ(memo.document()->firstBlock().text(), "a" + QString(kLineLength - 2, 'y') + "b");
    EXPECT_EQ(memo.document()->findBlockByNumber(1).text(), "cd");
    EXPECT_EQ(memo.document()->lastBlock().text(), "yy");
    EXPECT_EQ(memo.textCursor().position(), memo.document()->characterCount() - 1);
}

TEST_F(BoundedTerminal, ASelectionStaysWhileBytesWithoutALineEndFollowIt) {
    memo.setPlainText("hello world");
    QTextCursor c(memo.document());
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    memo.setTextCursor(c);
    terminal.show("12");
    terminal.show("34");
    EXPECT_EQ(memo.toPlainText(), "hello1234 world");
    EXPECT_EQ(memo.textCursor().selectedText(), "hello");
    // The line fills up: the rest goes to a new line at the end, and the selection ends there.
    terminal.show(QByteArray(kLineLength, 'z'));
    EXPECT_FALSE(memo.textCursor().hasSelection());
    EXPECT_EQ(memo.document()->firstBlock().length() - 1, kLineLength);
    EXPECT_EQ(memo.document()->blockCount(), 2);
}

// ---- The link's reader under a flood, on a pseudo-terminal ----

class FloodingLine {
  public:
    FloodingLine() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ok_ = master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0;
        if (ok_) {
            slave_ = ::ptsname(master_);
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~FloodingLine() {
        stop();
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    bool ok() const { return ok_; }
    const std::string& slave() const { return slave_; }

    // Random bytes at about 2 MB/s (twice what a USB modem that ignores the line speed sends),
    // from a thread of its own.
    void start() {
        flooder_ = std::thread([this] {
            std::uint32_t state = 11;
            while (!stop_) {
                const std::string bytes = noise(4096, state);
                const ssize_t n = ::write(master_, bytes.data(), bytes.size());
                if (n > 0) {
                    sent_ += static_cast<std::size_t>(n);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    void stop() {
        stop_ = true;
        if (flooder_.joinable()) {
            flooder_.join();
        }
    }
    std::size_t sent() const { return sent_; }

  private:
    int master_ = -1;
    bool ok_ = false;
    std::string slave_;
    std::thread flooder_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> sent_{0};
};

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 10, '\n');
    }
    return 0;
}

std::exception_ptr runJob(orv::Link& link, orv::Link::Job job, int ms) {
    bool done = false;
    std::exception_ptr error;
    link.post(std::move(job), [&](std::exception_ptr e) {
        error = e;
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_TRUE(done) << "the job did not end within " << ms << " ms";
    return error;
}

TEST(TerminalFlood, BatchesComeAtMostEveryIntervalTheWindowAnswersAndAnOperationEnds) {
    FloodingLine line;
    ASSERT_TRUE(line.ok());
    orv::Link link(std::make_unique<orv::SystemClock>());
    QPlainTextEdit memo;
    memo.resize(500, 300);
    memo.show();
    Terminal terminal(&memo);
    std::vector<qint64> at;
    std::size_t shown = 0;
    std::size_t largest = 0;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&link, &orv::Link::received, [&](const QByteArray& bytes) {
        at.push_back(clock.elapsed());
        shown += static_cast<std::size_t>(bytes.size());
        largest = std::max(largest, static_cast<std::size_t>(bytes.size()));
        terminal.show(bytes);
    });
    ASSERT_EQ(runJob(
                  link, [&](orv::LinkContext& ctx) { ctx.openPort(line.slave()); }, 5000),
              nullptr);

    // How late a 10 ms timer fires: how long a click would wait for the window.
    qint64 latest = 0;
    QElapsedTimer tick;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        latest = std::max(latest, tick.elapsed() - 10);
        tick.start();
    });
    const long residentBefore = residentKiB();
    line.start();
    tick.start();
    probe.start(10);
    processEventsFor(2000);

    // An operation meets the flood: its presence check reads noise and ends with its message.
    const std::exception_ptr error = runJob(
        link, [](orv::LinkContext& ctx) { orv::Connect(ctx.port(), ctx.clock()); }, 10'000);
    ASSERT_NE(error, nullptr);
    try {
        std::rethrow_exception(error);
    } catch (const orv::Failure& failure) {
        EXPECT_EQ(failure.kind(), orv::MessageKind::Error);
    } catch (...) {
        ADD_FAILURE() << "not a message";
    }
    processEventsFor(1000);
    probe.stop();
    line.stop();
    const long grown = residentKiB() - residentBefore;

    ASSERT_GE(at.size(), 10u) << "sent " << line.sent();
    for (std::size_t i = 1; i < at.size(); ++i) {
        EXPECT_GE(at[i] - at[i - 1], orv::Link::kDeliveryIntervalMs - 5) << i;
    }
    EXPECT_LE(largest, orv::kTerminalLines * orv::kTerminalLineLength);
    EXPECT_LE(shown, line.sent());
    EXPECT_LE(memo.document()->blockCount(), kLines);
    EXPECT_LE(longestBlock(memo), kLineLength);
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer runs the code several times slower and keeps shadow memory beside all
    // that the program touches: a wider bound for the timer, none for the memory.
    EXPECT_LT(latest, 4000);
#else
#if !defined(__SANITIZE_ADDRESS__)
    // (Under AddressSanitizer freed memory stays resident in its quarantine, up to 256 MiB.)
    EXPECT_LT(grown, 64 * 1024) << "KiB";
#endif
    EXPECT_LT(latest, 1000);
#endif
    std::printf(
        "[flood] %zu bytes sent, %zu shown in %zu batches; timer at most %lld ms late; "
        "resident memory grew %ld KiB\n",
        line.sent(), shown, at.size(), static_cast<long long>(latest), grown);
}

}  // namespace
