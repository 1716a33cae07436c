#include "pty_device.h"

#include <poll.h>

#include <chrono>

#include "pty_line.h"

namespace orv::test {

PtyDevice::PtyDevice(std::string link) : link_(std::move(link)) {}

PtyDevice::~PtyDevice() {
    stop();
}

bool PtyDevice::start() {
    stop();
    auto line = std::make_unique<emulator::PtyLine>();
    auto slaveLink = std::make_unique<emulator::SlaveLink>();
    std::string error;
    if (!line->open(error) || !slaveLink->create(link_, line->slavePath(), error)) {
        return false;
    }
    line_ = std::move(line);
    slaveLink_ = std::move(slaveLink);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.clear();
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
    return true;
}

void PtyDevice::stop() {
    running_ = false;
    if (thread_.joinable()) {
        thread_.join();
    }
    slaveLink_.reset();
    line_.reset();
}

std::string PtyDevice::received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void PtyDevice::run() {
    std::string line;
    while (running_) {
        pollfd ready{line_->fd(), POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0) {
            continue;
        }
        std::uint8_t buffer[256];
        const long n = line_->read(buffer, sizeof buffer);
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
        }
        if (echo_) {
            line_->write(std::string_view(reinterpret_cast<const char*>(buffer),
                                          static_cast<std::size_t>(n)));
        }
        for (long i = 0; i < n; ++i) {
            const char c = static_cast<char>(buffer[i]);
            if (c != '\r') {
                line += c;
                continue;
            }
            if (line == "ATR2301") {
                // After the program's purge of the command's echo, as a real line gives it.
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
                line_->write("\r01 ");
            }
            line.clear();
        }
    }
}

}  // namespace orv::test
