// Opening real ports: each reason a port cannot be opened reaches the user as itself, over real
// pseudo-terminals, links and files; and the system's own check of a node the test owns.

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <thread>

#include "link/port_problems.h"
#include "link/serial_port.h"
#include "pty_device.h"

namespace orv {
namespace {

// A system that answers the check as the test says and reports the group the test names.
struct RefusingAccess : PortAccess {
    int error = EACCES;
    std::string owner = "dialout";
    int check(const std::string&) const override { return error; }
    std::string group(const std::string&) const override { return owner; }
    std::string user() const override { return "ivan"; }
};

struct Opening {
    bool failed = false;
    PortProblem problem = PortProblem::Busy;
    Text text;
};

Opening open(const Text& name, const PortAccess& access = systemPortAccess()) {
    Opening result;
    try {
        OpenPort(name, kBaudRate, access);
    } catch (const PortFailure& failure) {
        result.failed = true;
        result.problem = failure.problem();
        result.text = failure.text();
        EXPECT_EQ(failure.kind(), MessageKind::Plain);
    }
    return result;
}

Text cp(const char* utf8) {
    return cp1251::fromUtf8(utf8);
}

class OpenPortOverThePty : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
};

TEST_F(OpenPortOverThePty, AUserWithoutRightsIsToldTheGroupAndTheNewLogin) {
    test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    RefusingAccess refusing;
    const Opening denied = open(device.link(), refusing);
    ASSERT_TRUE(denied.failed);
    EXPECT_EQ(denied.problem, PortProblem::NoAccess);
    EXPECT_EQ(denied.text,
              cp("Нет доступа к порту ") + device.link() +
                  cp(". Порт открывают члены группы \"dialout\": добавьте пользователя в эту "
                     "группу командой sudo adduser ivan dialout и войдите в систему заново"));

    // No group gives access: the administrator does.
    refusing.owner.clear();
    refusing.error = EPERM;
    const Opening noGroup = open(device.link(), refusing);
    EXPECT_EQ(noGroup.problem, PortProblem::NoAccess);
    EXPECT_NE(noGroup.text.find(cp("администратора")), Text::npos);
    EXPECT_NE(noGroup.text.find(cp("войдите в систему заново")), Text::npos);
    EXPECT_EQ(noGroup.text.find("\"\""), Text::npos);

    // The same terminal opens once the system lets it.
    EXPECT_FALSE(open(device.link()).failed);
}

TEST_F(OpenPortOverThePty, APortThatIsNotThereIsCalledMissing) {
    const Text missing = path("no-such-port");
    const Opening absent = open(missing);
    ASSERT_TRUE(absent.failed);
    EXPECT_EQ(absent.problem, PortProblem::Missing);
    EXPECT_EQ(absent.text, cp("Порт ") + missing +
                               cp(" не найден. Подключите адаптер или выберите другой порт в "
                                  "окне \"Настройки программирования\""));

    // A stable name whose adapter was pulled out: its link leads nowhere.
    ASSERT_EQ(::symlink("/dev/pts/987654", path("by-id-link").c_str()), 0);
    EXPECT_EQ(open(path("by-id-link")).problem, PortProblem::Missing);

    // A name relative to the current folder is looked for there, and reported as given.
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const Opening relative = open("ttyUSB0");
    QDir::setCurrent(before);
    EXPECT_EQ(relative.problem, PortProblem::Missing);
    EXPECT_EQ(relative.text.rfind(cp("Порт ttyUSB0 не найден."), 0), 0u);

    // No name at all.
    const Opening none = open("");
    EXPECT_EQ(none.problem, PortProblem::Missing);
    EXPECT_EQ(none.text, cp("Порт не выбран. Выберите порт в окне \"Настройки программирования\""));
}

TEST_F(OpenPortOverThePty, APortHeldByAnotherKeepsTheBusyMessage) {
    test::PtyDevice device(path("held"));
    ASSERT_TRUE(device.start());
    std::unique_ptr<Port> first = OpenPort(device.link(), kBaudRate);
    ASSERT_TRUE(first->isOpen());
    const Opening second = open(device.link());
    ASSERT_TRUE(second.failed);
    EXPECT_EQ(second.problem, PortProblem::Busy);
    EXPECT_EQ(
        second.text,
        device.link() + cp(" занят другим приложением. Попробуйте подключить к другому порту"));
    first.reset();
    EXPECT_FALSE(open(device.link()).failed);

    // A refusal the system gives no reason for is taken as a port in use.
    RefusingAccess busy;
    busy.error = EBUSY;
    EXPECT_EQ(open(device.link(), busy).problem, PortProblem::Busy);
}

// One port, one program: the device held under one name is busy under each of its other names
// (its node, a second link), for root as well, and free again once the holder lets go.
TEST_F(OpenPortOverThePty, AHeldDeviceIsBusyByEveryName) {
    test::PtyDevice device(path("adapter"));
    ASSERT_TRUE(device.start());
    const QString node = QFileInfo(QString::fromStdString(device.link())).canonicalFilePath();
    const std::string other = path("by-id-adapter");
    ASSERT_TRUE(QFile::link(node, QString::fromStdString(other)));
    std::unique_ptr<Port> first = OpenPort(device.link(), kBaudRate);
    ASSERT_TRUE(first->isOpen());
    for (const std::string& name : {node.toStdString(), other, device.link()}) {
        SCOPED_TRACE(name);
        const Opening second = open(name);
        EXPECT_TRUE(second.failed);
        EXPECT_EQ(second.problem, PortProblem::Busy);
        EXPECT_EQ(second.text, name + cp(" занят другим приложением. Попробуйте подключить к "
                                         "другому порту"));
    }
    first.reset();
    std::unique_ptr<Port> again = OpenPort(other, kBaudRate);
    EXPECT_TRUE(again->isOpen());
}

TEST_F(OpenPortOverThePty, AFileThatIsNoSerialLineSaysSo) {
    QFile file(dir.filePath("plain.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const Opening plain = open(path("plain.txt"));
    EXPECT_EQ(plain.problem, PortProblem::Unsupported);
    EXPECT_EQ(plain.text,
              cp("COM порт не поддерживает необходимые настройки. Выбирете другой порт"));
}

// The reader's turn comes after the event loop saw the device's bytes arrive: a job run before
// it may have read or purged them (a key typed quickly discards the echo of the key before).
class EchoBeforeTheReader : public OpenPortOverThePty {
  protected:
    void SetUp() override {
        device.setEcho(true);
        ASSERT_TRUE(device.start());
        port = OpenPort(device.link(), kBaudRate);
        port->setHandlers([this] { ++arrivals; }, [this] { lost = true; });
    }

    // Handles the events until `done` holds, two seconds at most.
    bool handleUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QCoreApplication::processEvents();
        }
        return done();
    }

    test::PtyDevice device{path("adapter")};
    std::unique_ptr<Port> port;
    int arrivals = 0;
    bool lost = false;
};

TEST_F(EchoBeforeTheReader, BytesTakenBeforeTheReadersTurnAreNoLostLine) {
    const std::pair<const char*, std::function<void(Port&)>> jobs[] = {
        {"input purged", [](Port& p) { p.purgeInput(); }},
        {"both purged", [](Port& p) { p.purgeAll(); }},
        {"read by the job", [](Port& p) {
             std::string bytes;
             p.read(1, bytes);
         }}};
    for (const auto& [what, job] : jobs) {
        SCOPED_TRACE(what);
        port->writeByte('A');
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(port->available(), 1u);  // the echo, still in the driver
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&, job = job] { job(*port); }, Qt::QueuedConnection);
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
        }
        EXPECT_FALSE(lost);
        ASSERT_TRUE(port->isOpen());
    }
    // The reader still hears the device, and a line that has really gone is still lost.
    arrivals = 0;
    port->writeByte('T');
    EXPECT_TRUE(handleUntil([&] { return arrivals > 0; }));
    std::string echo;
    EXPECT_TRUE(port->read(1, echo));
    EXPECT_EQ(echo, "T");
    EXPECT_EQ(device.received(), "AAAT");
    device.stop();
    EXPECT_TRUE(handleUntil([&] { return lost; }));
    EXPECT_FALSE(port->isOpen());
}

TEST(SystemPortList, APortIsPresentWhileItsNodeIsThere) {
    QTemporaryDir dir;
    test::PtyDevice device(dir.filePath("adapter").toStdString());
    PortList& ports = systemPortList();
    EXPECT_FALSE(ports.present(device.link()));
    ASSERT_TRUE(device.start());
    EXPECT_TRUE(ports.present(device.link()));
    device.stop();
    EXPECT_FALSE(ports.present(device.link()));
    EXPECT_FALSE(ports.present(""));
    // Whatever the machine has, the list names each port once, the devices as they are.
    std::set<Text> names;
    for (const PortEntry& entry : ports.ports()) {
        EXPECT_FALSE(entry.name.empty());
        EXPECT_EQ(entry.name.rfind("/dev/", 0), 0u) << entry.name;
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name << " twice";
    }
}

// The system's own check, for a user outside the group that owns a node the test made: run as
// another user in a process of its own.
TEST(SystemPortAccess, AUserOutsideTheOwningGroupIsRefusedWithThatGroup) {
    const group* dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || dialout == nullptr) {
        GTEST_SKIP() << "needs root and a dialout group to hand a node to another user";
    }
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const std::string node = dir.filePath("ttyUSB9").toStdString();
    {
        QFile file(QString::fromStdString(node));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(::chown(node.c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(node.c_str(), 0660), 0);
    EXPECT_EQ(systemPortAccess().check(node), 0);  // root may

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // nobody, in no group.
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) {
                std::_Exit(3);
            }
            const Opening refused = open(node);
            std::fprintf(stderr, "check=%d problem=%d %s\n", systemPortAccess().check(node),
                         static_cast<int>(refused.problem), cp1251::toUtf8(refused.text).c_str());
            std::_Exit(refused.failed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "check=13 problem=2 .*группы \"dialout\".*adduser nobody dialout");
}

}  // namespace
}  // namespace orv
