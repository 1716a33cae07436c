#pragma once
// The port as an operation sees it, counting the lines sent (each ended by its CR): the figure
// "lines_sent" of a run's result and record.

#include "link/port.h"

namespace orv {

class CountingPort : public Port {
  public:
    explicit CountingPort(Port& port) : port_(port) {}
    int lines() const { return lines_; }

    bool isOpen() const override { return port_.isOpen(); }
    void writeByte(std::uint8_t byte) override {
        port_.writeByte(byte);
        if (byte == '\r') {
            ++lines_;
        }
    }
    bool read(std::size_t max, std::string& out) override { return port_.read(max, out); }
    std::size_t available() override { return port_.available(); }
    void purgeInput() override { port_.purgeInput(); }
    void purgeAll() override { port_.purgeAll(); }
    void setDtr() override { port_.setDtr(); }
    void setRts() override { port_.setRts(); }
    void close() override { port_.close(); }

  private:
    Port& port_;
    int lines_ = 0;
};

}  // namespace orv
