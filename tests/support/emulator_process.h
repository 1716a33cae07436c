#pragma once
// The device emulator program (orvelin9-emulator) run for a test or a benchmark: its
// pseudo-terminal reached through a link of the caller's choice. It is ended as a user ends it
// (SIGTERM, after which it removes its link) or pulled away at once as an unplugged adapter, and
// never outlives the process that started it, even when a watchdog ends that one.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

namespace orv::test {

class EmulatorProcess {
  public:
    // The emulator built next to the running program, unless `program` names another.
    explicit EmulatorProcess(QString program = {});
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    // Starts it on `link` with the further `options`; true once its terminal is there and the
    // link leads to it. A link left by an emulator that was killed is removed first: it would
    // come alive with the next terminal of its number, before the new emulator has set it up.
    bool start(const QString& link, const QStringList& options = {});
    bool running() const;
    // Ends it as SIGTERM does; it removes its link.
    void stop();
    // Pulls the device away: the emulator ends at once and its terminal is gone, and so is the
    // link to it, as an unplugged adapter's device node is. (Left behind, the link would lead to
    // the next terminal that gets its number, another test's.)
    void kill();
    // True once it has ended by itself, normally, within `ms`.
    bool endsWithin(int ms);
    // Has it write its registers and SIM phone book to the file its "--dump" option named
    // (SIGUSR1); true once `file` is there, within `ms`.
    bool dump(const QString& file, int ms = 3000);

    const QString& program() const { return program_; }
    const QString& link() const { return link_; }

  private:
    QString program_;
    QString link_;
    QProcess process_;
};

// Waits up to `ms` for `done`, letting the application's events run meanwhile when there is an
// application.
bool waitUntil(const std::function<bool()>& done, int ms);

}  // namespace orv::test
