// The recipient list: the numbers a line gives and the file as it is read.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "base/errors.h"
#include "sms/recipients.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;

// A number as people write it: digits and a leading "+", the marks between the digits left
// out, ended by any other character; the rest of the line is the name.
TEST(RecipientNumber, AsPeopleWriteIt) {
    struct Case {
        const char* line;  // UTF-8
        const char* number;
        const char* name;
    };
    const Case cases[] = {
        {"+7 900 123-45-67", "+79001234567", ""},
        {"8 (900) 123-45-67", "89001234567", ""},
        {"+7-900-1234567; Иван", "+79001234567", "Иван"},
        {"+7.900.123.45.67 Пётр Ёлкин", "+79001234567", "Пётр Ёлкин"},
        {"+8613812345678", "+8613812345678", ""},
        {"79001234567; Иван", "79001234567", "Иван"},
        {"+79003333333\tЛи", "+79003333333", "Ли"},
        {"+(7) 900 1234567", "+79001234567", ""},
        {"112", "112", ""},
        {"900-", "900", ""},  // a mark that no digit follows ends the number
        {"900 - Иван", "900", "Иван"},
        {"99999999999999999999", "99999999999999999999", ""},  // 20 digits
        {"+9999999999999999999;x", "+9999999999999999999", "x"},
        // Nobody's number: the line is named in the report.
        {"", "", ""},
        {"Иван", "", "Иван"},
        {" 79001234567", "", " 79001234567"},
        {"(900) 1234567", "", "(900) 1234567"},
        {"+", "", "+"},
        {"++7", "", "++7"},
        {"+7", "", ""},  // fewer than 3 digits
        {"8 9", "", ""},
        {"999999999999999999999", "", ""},  // 21 characters
        {"+99999999999999999999", "", ""},
        {"+7 900 123 45 67 89 01 23 45 6", "", ""},
    };
    for (const Case& c : cases) {
        const Text text = cp(c.line);
        EXPECT_EQ(recipientNumber(text), c.number) << c.line;
        if (*c.number != '\0' || *c.name != '\0') {
            EXPECT_EQ(recipientName(text), cp(c.name)) << c.line;
        }
    }
}

TEST(RecipientFile, LinesAsTheFileHoldsThem) {
    test::TempDir dir;
    const std::string path = dir.path("list.txt");
    test::writeFile(path,
                    "+79001111111\r\n+79002222222 Петров\r\r\n\n+3111111\n" + cp("Имя") + "\rlast");
    EXPECT_EQ(readRecipients(path), (RecipientList{"+79001111111", "+79002222222 Петров", "", "",
                                                   "+3111111", cp("Имя"), "last"}));

    test::writeFile(path, std::string("a\r\nb\r\n\0c\r\n", 11));
    EXPECT_EQ(readRecipients(path), (RecipientList{"a", "b"}));
    test::writeFile(path, "\r\n");
    EXPECT_EQ(readRecipients(path), (RecipientList{""}));
    test::writeFile(path, "");
    EXPECT_TRUE(readRecipients(path).empty());
}

TEST(RecipientFile, UnreadableFileIsTheRuntimeFileError) {
    test::TempDir dir;
    const std::string path = dir.path("missing.txt");
    try {
        readRecipients(path);
        FAIL() << "no error";
    } catch (const Failure& f) {
        EXPECT_EQ(f.kind(), MessageKind::Error);
        EXPECT_EQ(f.text(), "Cannot open file \"" + path + "\". " + std::strerror(ENOENT));
    }
    EXPECT_THROW(readRecipients(dir.dir()), Failure);  // a folder cannot be read
}

}  // namespace
}  // namespace orv
