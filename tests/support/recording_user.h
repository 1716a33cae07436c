#pragma once
// A user and a port reader that record what an operation did to them, with the virtual time,
// so that tests check captions, progress positions, messages, the time left and the reader-stop
// protocol in the order they happened.

#include <string>
#include <vector>

#include "link/clock.h"
#include "operations/operation.h"

namespace orv::test {

class RecordingUser : public OperationUser, public ReaderControl {
  public:
    explicit RecordingUser(VirtualClock& clock) : clock_(clock) {}

    struct Message {
        MessageKind kind;
        Text text;
        MessageButtons buttons;
        std::uint64_t at;
    };
    // The time left as the operation reported it, and when.
    struct TimeLeftReport {
        Millis left;
        bool upperBound;
        std::uint64_t at;
    };

    void setCaption(const Text& c) override {
        caption = c;
        events.push_back("caption " + c);
    }
    void showProgress() override {
        shown = true;
        events.push_back("show");
    }
    void closeProgress() override {
        shown = false;
        events.push_back("close");
    }
    void setRange(int min, int max) override {
        minimum = min;
        maximum = max;
        events.push_back("range " + std::to_string(min) + " " + std::to_string(max));
    }
    void setPosition(int p) override {
        position = p;
        positions.push_back(p);
    }
    void setTimeLeft(Millis left, bool upperBound) override {
        timeLeft.push_back({left, upperBound, clock_.elapsed()});
    }
    void tell(MessageKind kind, const Text& text, MessageButtons buttons) override {
        messages.push_back({kind, text, buttons, clock_.elapsed()});
        events.push_back("tell " + text);
    }
    void stopReader() override {
        readerStopped = true;
        events.push_back("stop reader");
    }
    void startReader() override {
        readerStopped = false;
        ++readersStarted;
        events.push_back("start reader");
    }

    Text caption;
    bool shown = false;
    int minimum = 0;
    int maximum = 1;
    int position = 0;
    std::vector<int> positions;  // every position set, in order
    std::vector<Message> messages;
    std::vector<TimeLeftReport> timeLeft;
    std::vector<std::string> events;  // captions, show, close, range, tell, reader
    bool readerStopped = false;
    int readersStarted = 0;

  private:
    VirtualClock& clock_;
};

}  // namespace orv::test
