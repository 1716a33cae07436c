// The SMS broadcast against a modem whose answers come from the input, in virtual time. The
// input is fields separated by 0xFF bytes: the first byte of the first field chooses the modem
// (bit 0: a proper modem, which answers every preparation line as it should, so that only the
// answers to the sends come from the input) and the number of recipients (1 to 4, bits 1-2);
// the second field is the SMS text (its lines split at LF); the rest are answers, one for each
// line the broadcast sends in turn (for a proper modem, for each send). Properties checked:
//   1. The broadcast ends normally or with one of its six numbered errors, nothing else.
//   2. After an error nothing more is sent: the last line sent is the one whose answer failed
//      (№ 1 "AT+CMGF=1", № 2 the character set, № 3 the message parameters, № 4 and № 4/1 the
//      write command, № 5 Ctrl-Z); the text itself never goes out without the modem's prompt.
//   3. A broadcast that ends normally sent one send command per recipient and emptied the
//      message memory last, and gave the port back to the reader; with a proper modem each
//      recipient is confirmed or refused by the final result of its own place among the ended
//      lines of the answers ("+CMSS:", "+CMS ERROR:", "+CME ERROR:", "ERROR"), first in first
//      out, and unconfirmed when there are fewer results than sends; a result that came before
//      a send went out answers none after the sends before it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/errors.h"
#include "exchange.h"
#include "fake_port.h"
#include "fuzz_check.h"
#include "sms/broadcast.h"

namespace {

bool startsWith(const std::string& s, const char* prefix) {
    return s.rfind(prefix, 0) == 0;
}

std::string errorText(const char* number) {
    return orv::cp1251::fromUtf8(std::string("Ошибка выполения № ") + number +
                                 ". Проверте правильность подключения. При повторении ошибки "
                                 "обратитесь за консультацией в сервисный центр.");
}

const std::string kOk = "\r\nOK\r\n";

// Each send's outcome as a letter (Confirmed, Refused, Unconfirmed): the final results among
// the ended lines of the answers, in order, one per send; a result ended while only k sends
// had gone out answers none after the k-th (one more than were sent answers nothing).
std::string expectedOutcomes(const std::vector<std::string>& answers, std::size_t sends) {
    std::string outcomes(sends, 'U');
    std::size_t settled = 0;
    std::string line;
    for (std::size_t k = 0; k < answers.size(); ++k) {
        for (char c : answers[k]) {
            if (c != '\r' && c != '\n') {
                line += c;
                continue;
            }
            const std::size_t from = line.find_first_not_of(" \t");
            const std::string t = from == std::string::npos
                                      ? std::string()
                                      : line.substr(from, line.find_last_not_of(" \t") - from + 1);
            line.clear();
            const bool sent = startsWith(t, "+CMSS:");
            const bool refused =
                startsWith(t, "+CMS ERROR:") || startsWith(t, "+CME ERROR:") || t == "ERROR";
            if ((sent || refused) && settled <= k && settled < sends) {
                outcomes[settled++] = sent ? 'C' : 'R';
            }
        }
    }
    return outcomes;
}

// What a proper modem answers to a line other than a send.
std::string properAnswer(const std::string& line) {
    if (startsWith(line, "AT+CMGF=1")) {
        return "\r" + kOk;  // its CR is still echoed
    }
    if (startsWith(line, "AT+CMGW=")) {
        return "\r\n> ";
    }
    if (line == "\x1A") {
        return "\r\n+CMGW: 1\r\n" + kOk;
    }
    if (startsWith(line, "AT")) {
        return kOk;
    }
    return "\r\n> ";  // the text
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> in =
        orv::fuzz::fields(std::string(reinterpret_cast<const char*>(data), size));
    const unsigned char mode = in[0].empty() ? 0 : static_cast<unsigned char>(in[0][0]);
    const bool proper = (mode & 1) != 0;
    const std::size_t count = 1 + ((mode >> 1) & 3);
    orv::RecipientList recipients;
    for (std::size_t k = 0; k < count; ++k) {
        recipients.push_back("7900123456" + std::to_string(k));
    }
    std::vector<orv::Text> text;
    if (in.size() > 1) {
        std::size_t start = 0;
        const std::string& t = in[1];
        for (std::size_t end; (end = t.find('\n', start)) != std::string::npos; start = end + 1) {
            text.push_back(t.substr(start, end - start));
        }
        text.push_back(t.substr(start));
    }

    orv::VirtualClock clock;
    orv::test::FakePort port(clock);
    std::size_t next = 2;
    std::vector<std::string> sendAnswers;
    port.setResponder([&](const std::string& line) -> orv::test::FakePort::Answer {
        const bool send = startsWith(line, "AT+CMSS=");
        const std::uint64_t delay = send ? 1000 : 20;
        if (proper && !send) {
            return {properAnswer(line), delay};
        }
        std::string answer = next < in.size() ? in[next++] : std::string();
        if (send) {
            answer = answer.substr(0, 60);  // within the one read of up to 100 bytes
            sendAnswers.push_back(answer);
        }
        return {answer, delay};
    });
    orv::fuzz::QuietUser user;
    orv::OperationContext ctx{port, clock, user, user, ""};
    orv::BroadcastReport result;
    std::string error;
    try {
        result = orv::broadcastSms(ctx, text, recipients);
    } catch (const orv::Failure& f) {
        error = f.text();
    }
    const std::vector<std::string> lines = port.lines();
    FUZZ_CHECK(!lines.empty());

    if (!error.empty()) {
        const std::pair<const char*, const char*> lastLines[] = {
            {"1", "AT+CMGF=1"}, {"2", "AT+CSCS="},   {"3", "AT+CSMP="},
            {"4", "AT+CMGW="},  {"4/1", "AT+CMGW="}, {"5", "\x1A"},
        };
        bool known = false;
        for (const auto& [number, last] : lastLines) {
            if (error == errorText(number)) {
                known = true;
                FUZZ_CHECK(startsWith(lines.back(), last));
            }
        }
        FUZZ_CHECK(known);
        FUZZ_CHECK(user.stopped);
        FUZZ_CHECK(!proper);
        return 0;
    }

    std::size_t sends = 0;
    for (const std::string& line : lines) {
        sends += startsWith(line, "AT+CMSS=") ? 1 : 0;
    }
    FUZZ_CHECK(sends == recipients.size());
    FUZZ_CHECK(lines.back() == "AT+CMGDA=\"DEL ALL\"");
    FUZZ_CHECK(!user.stopped);
    FUZZ_CHECK(result.ending == orv::BroadcastEnding::Finished);
    FUZZ_CHECK(result.rows.size() == recipients.size());
    std::string outcomes;
    for (const orv::RecipientRow& row : result.rows) {
        FUZZ_CHECK(row.outcome != orv::SendOutcome::NotSent);
        outcomes += "CURN"[static_cast<int>(row.outcome)];
    }
    if (proper) {
        FUZZ_CHECK(sendAnswers.size() == recipients.size());
        FUZZ_CHECK(outcomes == expectedOutcomes(sendAnswers, recipients.size()));
    }
    return 0;
}
