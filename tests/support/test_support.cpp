#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace orv::test {

TempDir::TempDir() {
#ifdef _WIN32
    // No mkdtemp: a random name, taken only when the folder is new.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
        const std::filesystem::path p =
            std::filesystem::temp_directory_path() / ("orv-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(p)) {
            dir_ = p.generic_string();
        }
    }
    if (dir_.empty()) {
        throw std::runtime_error("no temporary folder");
    }
#else
    std::string templ = (std::filesystem::temp_directory_path() / "orv-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = templ;
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace orv::test
