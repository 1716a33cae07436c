#pragma once
// Helpers shared by the core tests.

#include <string>

#include "base/text.h"
#include "settings/settings_record.h"

namespace orv::test {

// Russian text in the tests is written in UTF-8 and compared in code page 1251.
inline Text cp(const std::string& utf8) {
    return cp1251::fromUtf8(utf8);
}

// And back, to compare a message with UTF-8 text and print it.
inline std::string utf8(const Text& text) {
    return cp1251::toUtf8(text);
}

// For EXPECT_PRED2, which prints both texts when the check fails.
inline bool beginsWith(const std::string& text, const std::string& part) {
    return text.rfind(part, 0) == 0;
}
inline bool holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline PhoneTable table(std::initializer_list<const char*> numbers) {
    PhoneTable t;
    for (const char* n : numbers) {
        t.push_back(PhoneRecord{n, ""});
    }
    return t;
}

// A temporary folder, removed with its files at the end of the test.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    std::string path(const std::string& name) const { return dir_ + "/" + name; }
    const std::string& dir() const { return dir_; }

  private:
    std::string dir_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);

}  // namespace orv::test
