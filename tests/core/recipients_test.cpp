// The recipient list: the numbers a line gives and the file as it is read.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "settings/errors.h"
#include "sms/recipients.h"
#include "test_support.h"

namespace orv {
namespace {

using test::cp;

TEST(RecipientNumber, LeadingPlusAndDigitsUpToTwenty) {
    EXPECT_EQ(recipientNumber("+8613812345678"), "+8613812345678");
    EXPECT_EQ(recipientNumber(cp("79001234567; Иван")), "79001234567");
    EXPECT_EQ(recipientNumber("+79002222222 Petrov"), "+79002222222");
    EXPECT_EQ(recipientNumber("112"), "112");
    EXPECT_EQ(recipientNumber("+7"), "+7");
    EXPECT_EQ(recipientNumber(std::string(20, '9')), std::string(20, '9'));
    EXPECT_EQ(recipientNumber("+" + std::string(19, '9') + ";x"), "+" + std::string(19, '9'));
    // Nobody's number.
    for (const Text& line :
         {Text(), cp("Иван"), Text(" 79001234567"), Text("+"), Text("++7"), Text("+ 7"),
          Text(std::string(21, '9')), Text("+" + std::string(20, '9'))}) {
        EXPECT_EQ(recipientNumber(line), "") << line;
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
