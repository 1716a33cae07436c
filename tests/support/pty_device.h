#pragma once
// A device on a real pseudo-terminal, for tests of the program's own serial code: the test holds
// the master, the program opens the slave through a link under a name of the test's choice. It
// records every byte that reaches it and answers the presence check as a free device does; with
// echo on, it sends each byte back as it arrives, as the device does for the terminal.
// Stopping it closes the terminal, as an adapter pulled out: the program's line is lost.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace orv::emulator {
class PtyLine;
class SlaveLink;
}  // namespace orv::emulator

namespace orv::test {

class PtyDevice {
  public:
    explicit PtyDevice(std::string link);
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    // A new pseudo-terminal under the link (replacing what was there), answered from now on.
    bool start();
    // Closes the terminal and removes the link.
    void stop();

    // From the next start on.
    void setEcho(bool on) { echo_ = on; }
    const std::string& link() const { return link_; }
    // Every byte received since the start.
    std::string received() const;

  private:
    void run();

    std::string link_;
    std::unique_ptr<emulator::PtyLine> line_;
    std::unique_ptr<emulator::SlaveLink> slaveLink_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    bool echo_ = false;
    mutable std::mutex mutex_;
    std::string received_;
};

}  // namespace orv::test
