#include "cli/file_commands.h"

#include "cli/window_words.h"
#include "records/file_comparison.h"
#include "records/number_lists_csv.h"
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

struct FileCommand {
    const char* name;
    const char* operands;
    void (*run)(const Invocation&, PortResult&);
};

constexpr FileCommand kFileCommands[] = {
    {"csv-export", "ФАЙЛ.cfg ВЫХОД.csv", runCsvExport},
    {"csv-import", "ФАЙЛ.cfg ВХОД.csv ВЫХОД.cfg", runCsvImport},
    {"diff", "A.cfg B.cfg", runDiff},
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

}  // namespace orv::cli
