#pragma once
// The support bundle: one ".tar.gz" holding every regular file of a history record under one
// top folder named after the record, and its own index, "index.txt" (UTF-8): the record, each
// file with its size, the files left out and why, and whether the password digits were masked
// or included. Unless asked to include them, every password digit is written as "*" wherever
// it stands (password_mask.h). Made with libarchive, so not in the Windows build of the core.

#include <string>

namespace orv {

// The name of the bundle's index, beside the record's files in its top folder.
constexpr const char* kSupportBundleIndex = "index.txt";

// Writes the bundle of the record at `recordFolder` to `bundlePath`, replacing that file in one
// step. Throws orv::Failure with a Russian message when the record cannot be read or the bundle
// cannot be written.
void writeSupportBundle(const std::string& recordFolder, const std::string& bundlePath,
                        bool includePassword);

}  // namespace orv
