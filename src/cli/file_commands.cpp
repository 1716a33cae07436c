#include "cli/file_commands.h"

#include "base/platform.h"
#include "cli/window_words.h"
#include "records/file_comparison.h"
#include "records/number_lists_csv.h"
#include "records/support_bundle.h"
#include "settings/config_file.h"

namespace orv::cli {
namespace {

Text ru(const std::string& utf8) {
    return cp1251::fromUtf8(utf8);
}

// A file as the messages name it: what follows its last "/".
std::string shownName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Saves the output; a file that cannot be saved is status 8, its message after the run's own.
template <typename Save>
void saveOutput(PortResult& result, Save save) {
    try {
        save();
    } catch (const Failure& failure) {
        result.status = Status::NotSaved;
        result.message += (result.message.empty() ? "" : "\n") + failure.text();
    }
}

void runCsvExport(const Invocation& inv, PortResult& result) {
    SettingsRecord record;
    LoadFromFile(inv.operands.at(0), record);
    const std::string& out = inv.operands.at(1);
    saveOutput(result, [&] {
        exportNumberLists(out, record);
        result.message = ru("Номера записаны в " + shownName(out));
    });
}

void runCsvImport(const Invocation& inv, PortResult& result) {
    SettingsRecord base;
    LoadFromFile(inv.operands.at(0), base);
    const std::string& csv = inv.operands.at(1);
    const NumberListsImport import = importNumberListsFile(csv, base);
    if (!import.refused.empty() && !inv.skipBadRows) {
        throw UsageError(ru("Файл " + shownName(csv) + " не взят: строк, которые нельзя взять, " +
                            std::to_string(import.refused.size()) +
                            "; ничего не записано. Взять файл без них: --skip-bad-rows\n") +
                         describeRefusals(import.refused));
    }
    result.message =
        ru("Номера взяты из " + shownName(csv) + "\n") + describeImport(import, base, true);
    const std::string& out = inv.operands.at(2);
    saveOutput(result, [&] { SaveData(out, import.record); });
}

void runDiff(const Invocation& inv, PortResult& result) {
    const Differences differences = compareFiles(inv.operands.at(0), inv.operands.at(1));
    result.message = describeDifferences(differences, formWords(), ComparedWith::Files);
    result.differences = differenceRows(differences);
    result.status = differences.none() ? Status::Done : Status::Differs;
}

// A UTF-8 field on one line of tab-separated fields: tabs and line breaks as blanks.
std::string flat(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

std::string dataFolderOf(const Invocation& inv) {
    return inv.dataFolder.empty() ? std::string(".") : inv.dataFolder;
}

bool isFolder(const std::string& path) {
    platform::FileStatus status;
    return platform::fileStatus(path, status) == 0 && status.kind == platform::FileKind::Directory;
}

// The record named by its folder, or by its name in the data folder's history.
std::string recordFolder(const Invocation& inv, const std::string& record) {
    if (isFolder(record)) {
        return record;
    }
    const std::string inHistory = dataFolderOf(inv) + "/history/" + record;
    if (record.find('/') == std::string::npos && isFolder(inHistory)) {
        return inHistory;
    }
    throw UsageError(ru("Записи истории операций нет: " + record));
}

void runBundle(const Invocation& inv, PortResult& result) {
    const std::string folder = recordFolder(inv, inv.operands.at(0));
    const std::string& out = inv.operands.at(1);
    saveOutput(result, [&] {
        writeSupportBundle(folder, out, inv.includePassword);
        result.message = ru("Архив записан в " + shownName(out) +
                            (inv.includePassword ? "; цифры пароля в нём как есть"
                                                 : "; цифры пароля в нём заменены на «*»"));
    });
}

struct FileCommand {
    const char* name;
    const char* operands;
    void (*run)(const Invocation&, PortResult&);
};

constexpr FileCommand kFileCommands[] = {
    {"csv-export", "ФАЙЛ.cfg ВЫХОД.csv", runCsvExport},
    {"csv-import", "ФАЙЛ.cfg ВХОД.csv ВЫХОД.cfg", runCsvImport},
    {"diff", "A.cfg B.cfg", runDiff},
    {"bundle", "ЗАПИСЬ ВЫХОД.tar.gz", runBundle},
};

const FileCommand* findFileCommand(const std::string& command) {
    for (const FileCommand& c : kFileCommands) {
        if (command == c.name) {
            return &c;
        }
    }
    return nullptr;
}

}  // namespace

bool isFileCommand(const std::string& command) {
    return findFileCommand(command) != nullptr;
}

Text fileOperandsUsage(const std::string& command) {
    const FileCommand* c = findFileCommand(command);
    return ru("Команде " + command + " нужны аргументы: " + (c ? c->operands : "файлы"));
}

PortResult runFileCommand(const Invocation& inv) {
    const FileCommand* c = findFileCommand(inv.command);
    if (!c) {
        throw UsageError(ru("Команда " + inv.command + " работает с портом, а не с файлами"));
    }
    PortResult result;
    result.port = "-";
    result.command = inv.command;
    c->run(inv, result);
    return result;
}

std::string historyLines(const std::vector<HistoryEntry>& entries, bool json) {
    std::string out;
    for (const HistoryEntry& e : entries) {
        if (json) {
            out += "{\"record\":" + jsonString(e.name) + ",\"start\":" + jsonString(e.start) +
                   ",\"end\":" + jsonString(e.end) + ",\"operation\":" + jsonString(e.operation) +
                   ",\"port\":" + jsonString(e.port) + ",\"by_id\":" + jsonString(e.byIdName) +
                   ",\"label\":" + jsonString(e.label) + ",\"status\":" + jsonString(e.status) +
                   ",\"message\":" + jsonString(e.message) +
                   ",\"problem\":" + jsonString(e.problem) + "}\n";
            continue;
        }
        // A run going on, or a record that was refused, has no status to show.
        out += flat(e.start) + "\t" + flat(e.operation) + "\t" +
               flat(e.port.empty() ? "-" : e.port) + "\t" + flat(e.label) + "\t" +
               flat(e.status.empty() ? "-" : e.status) + "\t" + flat(e.name) + "\n";
    }
    return out;
}

std::vector<HistoryEntry> historyOf(const Invocation& inv) {
    return listHistory(dataFolderOf(inv));
}

}  // namespace orv::cli
