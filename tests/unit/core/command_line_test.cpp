// The hook's command split into a program and its arguments, as a shell splits words but with
// nothing expanded.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/command_line.h"

namespace kt6 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::vector<std::string> words(std::string_view text) {
    const SplitCommand split = splitCommandLine(text);
    EXPECT_EQ(split.error, "") << text;
    return split.words;
}

TEST(CommandLine, blanksSeparateWordsAndQuotesKeepThemInside) {
    EXPECT_THAT(words("  rigctl\t-m 2   set_ptt 0 "),
                ElementsAre("rigctl", "-m", "2", "set_ptt", "0"));
    EXPECT_THAT(words("\"/opt/my tools/inhibit\" --port '/dev/serial/by-id/usb A'"),
                ElementsAre("/opt/my tools/inhibit", "--port", "/dev/serial/by-id/usb A"));
    EXPECT_THAT(words(""), IsEmpty());
    EXPECT_THAT(words(" \t "), IsEmpty());
}

TEST(CommandLine, nothingIsExpandedAndNoShellCharacterIsSpecial) {
    EXPECT_THAT(
        words("echo $KT6_MOVING > /tmp/x; rm -rf ~ | `id` *"),
        ElementsAre("echo", "$KT6_MOVING", ">", "/tmp/x;", "rm", "-rf", "~", "|", "`id`", "*"));
}

TEST(CommandLine, backslashesTakeTheNextCharacterOutsideQuotesAndFourInsideDoubleQuotes) {
    EXPECT_THAT(words(R"(my\ hook a\"b c\\d \'e)"), ElementsAre("my hook", "a\"b", "c\\d", "'e"));
    // Inside double quotes only \" \\ \$ and \` lose their backslash, as in sh.
    EXPECT_THAT(words(R"("a\"b" "c\\d" "\$x" "\`y" "C:\tools\n")"),
                ElementsAre("a\"b", "c\\d", "$x", "`y", "C:\\tools\\n"));
    // Inside single quotes a backslash is just a backslash.
    EXPECT_THAT(words(R"('a\b' 'c\')"), ElementsAre("a\\b", "c\\"));
}

TEST(CommandLine, touchingPiecesMakeOneWordAndEmptyQuotesAnEmptyWord) {
    EXPECT_THAT(words(R"(--name="KT 6"'s' x"")"), ElementsAre("--name=KT 6s", "x"));
    EXPECT_THAT(words(R"(tool "" '' end)"), ElementsAre("tool", "", "", "end"));
}

TEST(CommandLine, anUnclosedQuoteOrATrailingBackslashDoesNotSplit) {
    for (const char* bad : {"hook 'a b", "hook \"a b", R"(hook "a\")", R"(hook a\)"}) {
        const SplitCommand split = splitCommandLine(bad);
        EXPECT_NE(split.error, "") << bad;
    }
    EXPECT_THAT(splitCommandLine("hook 'a b").error, HasSubstr("' at character 6 is not closed"));
    EXPECT_THAT(splitCommandLine(R"(hook a\)").error, HasSubstr("backslash"));
}

}  // namespace
}  // namespace kt6
