// The lines the console writes to stderr: each job's prefix as the README and the manuals quote
// it, Qt's own pattern for Qt's messages, and the journal's priority on every line.
#include <gtest/gtest.h>

#include "logging/log.h"

namespace kt6 {
namespace {

QByteArray lineOf(const char* category, QtMsgType type, const char* text, bool journal) {
    return logLine(type, QMessageLogContext(nullptr, 0, nullptr, category), text, journal);
}

TEST(LogLine, eachJobsCategoryStartsItsLineAsTheManualsQuote) {
    const QLoggingCategory qt("qt.qpa.xcb");  // not ours: Qt's own pattern
    const std::pair<const QLoggingCategory&, QByteArray> cases[] = {
        {lcLink(), "link: "},   {lcApi(), "interface: "},       {lcSettings(), "settings: "},
        {lcRadio(), "radio: "}, {lcConsole(), "skarnel-kt6: "}, {lcStation(), ""},
        {qt, "qt.qpa.xcb: "},
    };
    for (const auto& [category, prefix] : cases) {
        EXPECT_EQ(lineOf(category.categoryName(), QtWarningMsg, "COM3 online", false),
                  prefix + "COM3 online\n");
    }
    EXPECT_STREQ(lcLink().categoryName(), "kt6.link");  // what QT_LOGGING_RULES names
}

TEST(LogLine, theJournalGetsThePriorityOfEveryLine) {
    EXPECT_EQ(lineOf("kt6.link", QtDebugMsg, "a", true), "<7>link: a\n");
    EXPECT_EQ(lineOf("kt6.link", QtInfoMsg, "a", true), "<6>link: a\n");
    EXPECT_EQ(lineOf("kt6.api", QtCriticalMsg, "a", true), "<3>interface: a\n");
    // A box's text of two lines is two entries, neither left at the journal's default.
    EXPECT_EQ(lineOf("kt6.console", QtWarningMsg, "a\nb", true), "<4>skarnel-kt6: a\n<4>b\n");
}

}  // namespace
}  // namespace kt6
