#pragma once
// The window's settings against a configuration file, without the device: the same differences
// and report as the check against the device.

#include <string>

#include "settings/comparison.h"

namespace orv {

// Loads the named configuration file (LoadFromFile: its format message or file error is thrown)
// and compares `shown` with it; `shown` must be a record that can be written (checkEncodable).
Differences compareWithFile(const SettingsRecord& shown, const std::string& path,
                            const Text& shownName = Text());

// Two configuration files, the first taken as the window.
Differences compareFiles(const std::string& first, const std::string& second);

}  // namespace orv
