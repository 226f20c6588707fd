#include "core/command_line.h"

#include <utility>

namespace kt6 {

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Inside double quotes, as in sh: a backslash escapes only what would mean something there.
bool escapedInDoubleQuotes(char c) {
    return c == '"' || c == '\\' || c == '$' || c == '`';
}
}  // namespace

SplitCommand splitCommandLine(std::string_view text) {
    SplitCommand split;
    std::string word;
    // A word is under way even when empty so far: "" and '' make empty arguments.
    bool inWord = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (isBlank(c)) {
            if (inWord) split.words.push_back(std::exchange(word, {}));
            inWord = false;
            ++i;
            continue;
        }
        inWord = true;
        if (c == '\\') {
            if (i + 1 >= text.size()) {
                split.error = "it ends with a backslash";
                return split;
            }
            word += text[i + 1];
            i += 2;
            continue;
        }
        if (c == '\'' || c == '"') {
            const std::size_t open = i++;
            for (;;) {
                if (i >= text.size()) {
                    split.error = std::string("the ") + c + " at character " +
                                  std::to_string(open + 1) + " is not closed";
                    return split;
                }
                const char d = text[i];
                if (d == c) {
                    ++i;
                    break;
                }
                if (c == '"' && d == '\\' && i + 1 < text.size() &&
                    escapedInDoubleQuotes(text[i + 1])) {
                    word += text[i + 1];
                    i += 2;
                    continue;
                }
                word += d;
                ++i;
            }
            continue;
        }
        word += c;
        ++i;
    }
    if (inWord) split.words.push_back(std::move(word));
    return split;
}

}  // namespace kt6
