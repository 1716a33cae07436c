#pragma once
// A support bundle read back in the test's own process with libarchive: no tar to fork, which a
// thread sanitizer run refuses once the window's threads are running.

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "test_support.h"

namespace orv::test {

// The bundle's files by their path in it.
inline std::map<std::string, std::string> readBundle(const std::string& path) {
    const std::string bytes = readFile(path);
    std::map<std::string, std::string> files;
    archive* a = archive_read_new();
    archive_read_support_filter_gzip(a);
    archive_read_support_format_tar(a);
    EXPECT_EQ(archive_read_open_memory(a, bytes.data(), bytes.size()), ARCHIVE_OK);
    archive_entry* entry = nullptr;
    while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        std::string content(static_cast<std::size_t>(archive_entry_size(entry)), '\0');
        if (!content.empty()) {
            EXPECT_EQ(archive_read_data(a, content.data(), content.size()),
                      static_cast<la_ssize_t>(content.size()));
        }
        files[archive_entry_pathname(entry)] = content;
    }
    archive_read_free(a);
    return files;
}

}  // namespace orv::test
