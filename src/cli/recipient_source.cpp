#include "cli/recipient_source.h"

#include <vector>

#include "cli/arguments.h"
#include "settings/config_file.h"

namespace orv::cli {
namespace {

const std::string kByteOrderMark = "\xEF\xBB\xBF";

// The fields of one report row: ";" between them, a quoted field's doubled quotes as one.
std::vector<std::string> fields(const std::string& row) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const char c = row[i];
        if (quoted) {
            if (c == '"' && i + 1 < row.size() && row[i + 1] == '"') {
                out.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                out.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ';') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

}  // namespace

bool isBroadcastReport(const std::string& bytes) {
    const std::string header = kByteOrderMark + "Номер;Имя;Результат";
    return bytes.compare(0, header.size(), header) == 0;
}

RecipientList reportRecipients(const std::string& bytes, bool onlyUnreached) {
    RecipientList lines;
    const CommandList rows = splitLines(bytes.substr(kByteOrderMark.size()));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = fields(rows[i]);
        const std::string number = f.at(0);
        const std::string name = f.size() > 1 ? f[1] : "";
        const std::string outcome = f.size() > 2 ? f[2] : "";
        if (onlyUnreached && (number.empty() || outcome == "отправлено")) {
            continue;
        }
        const std::string line = number.empty() ? name
                                 : name.empty() ? number
                                                : number + " " + name;
        lines.push_back(cp1251::fromUtf8(line));
    }
    return lines;
}

RecipientList readRecipientSource(const std::string& path, bool onlyUnreached) {
    const RecipientList lines = readRecipients(path);
    std::string bytes;
    for (const Text& line : lines) {
        bytes += line + "\n";
    }
    if (isBroadcastReport(bytes)) {
        return reportRecipients(bytes, onlyUnreached);
    }
    if (onlyUnreached) {
        throw UsageError(cp1251::fromUtf8(
            "Параметр --only-unreached требует отчёт рассылки (файл CSV, сохранённый "
            "\"Сохранить отчёт…\" или --report), а не список получателей: " +
            path));
    }
    return lines;
}

}  // namespace orv::cli
