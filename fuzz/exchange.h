#pragma once
// What the targets that run a whole exchange share: the input cut into fields at 0xFF bytes, and
// a user without windows that notes only the reader-stop protocol.

#include <string>
#include <vector>

#include "operations/operation.h"

namespace orv::fuzz {

// The input's fields, separated by 0xFF bytes; one field when there is none.
inline std::vector<std::string> fields(const std::string& input) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find('\xFF', start);
        out.push_back(input.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            return out;
        }
        start = end + 1;
    }
}

struct QuietUser : OperationUser, ReaderControl {
    void setCaption(const Text&) override {}
    void showProgress() override {}
    void closeProgress() override {}
    void setRange(int, int) override {}
    void setPosition(int) override {}
    void tell(MessageKind, const Text&, MessageButtons) override {}
    void stopReader() override { stopped = true; }
    void startReader() override { stopped = false; }
    bool stopped = false;
};

}  // namespace orv::fuzz
