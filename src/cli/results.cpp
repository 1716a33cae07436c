#include "cli/results.h"

#include <cstdio>
#include <initializer_list>

namespace orv::cli {

Status combinedStatus(const std::vector<Status>& statuses) {
    auto any = [&](Status status) {
        for (Status s : statuses) {
            if (s == status) {
                return true;
            }
        }
        return false;
    };
    for (Status status :
         {Status::LineLost, Status::DeviceTrouble, Status::PortUnavailable, Status::Stopped,
          Status::NotSaved, Status::Differs, Status::Unconfirmed, Status::Refused}) {
        if (any(status)) {
            return status;
        }
    }
    return Status::Done;
}

std::string oneLine(const Text& text) {
    std::string utf8 = cp1251::toUtf8(text);
    std::string line;
    line.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') {
            continue;  // the LF that follows makes the blank
        }
        line += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
    }
    return line;
}

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x",
                                  static_cast<unsigned>(static_cast<unsigned char>(c)));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string resultLines(const PortResult& result) {
    std::string lines = result.port + "\t" + result.command + "\t" +
                        std::to_string(static_cast<int>(result.status)) + "\t" +
                        oneLine(result.message) + "\n";
    for (const DifferenceRow& d : result.differences) {
        lines += result.port + "\t-\t" + oneLine(d.what) + "\t" + oneLine(d.expected) + "\t" +
                 oneLine(d.device) + "\n";
    }
    return lines;
}

namespace {

std::string jsonList(const std::vector<Text>& numbers) {
    std::string out = "[";
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        out += (i ? "," : "") + jsonString(cp1251::toUtf8(numbers[i]));
    }
    return out + "]";
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

std::string resultJson(const PortResult& result, const std::string& label) {
    std::string differences = "[";
    for (std::size_t i = 0; i < result.differences.size(); ++i) {
        const DifferenceRow& d = result.differences[i];
        differences += std::string(i ? "," : "") +
                       "{\"what\":" + jsonString(cp1251::toUtf8(d.what)) +
                       ",\"expected\":" + jsonString(cp1251::toUtf8(d.expected)) +
                       ",\"device\":" + jsonString(cp1251::toUtf8(d.device)) + "}";
    }
    differences += "]";
    std::string json = "{\"port\":" + jsonString(result.port) + ",\"label\":" + jsonString(label) +
                       ",\"command\":" + jsonString(result.command) +
                       ",\"status\":" + std::to_string(static_cast<int>(result.status)) +
                       ",\"message\":" + jsonString(cp1251::toUtf8(result.message)) +
                       ",\"seconds\":" + seconds(result.seconds) +
                       ",\"lines_sent\":" + std::to_string(result.linesSent) +
                       ",\"differences\":" + differences +
                       ",\"refused\":" + jsonList(result.refused) +
                       ",\"unconfirmed\":" + jsonList(result.unconfirmed) +
                       ",\"not_sent\":" + jsonList(result.notSent);
    if (!result.record.empty()) {
        json += ",\"record\":" + jsonString(result.record);
    }
    return json + "}\n";
}

}  // namespace orv::cli
