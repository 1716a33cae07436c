#include "records/file_comparison.h"

#include "settings/config_file.h"
#include "settings/encoding.h"

namespace orv {

Differences compareWithFile(const SettingsRecord& shown, const std::string& path,
                            const Text& shownName) {
    SettingsRecord file;
    LoadFromFile(path, file, shownName);
    return compareRecords(shown, file);
}

Differences compareFiles(const std::string& first, const std::string& second) {
    SettingsRecord shown;
    LoadFromFile(first, shown);
    return compareWithFile(shown, second);
}

}  // namespace orv
