#pragma once
// A command as the operator types it, split into a program and its arguments the way a POSIX
// shell splits words, with nothing expanded and no shell run: blanks separate words; '...'
// keeps everything inside as it is; "..." keeps everything but \" \\ \$ and \`, which stand for
// the character after the backslash; outside quotes a backslash takes the next character as it
// is. Quoted and unquoted pieces that touch make one word, and "" is an empty word.
#include <string>
#include <string_view>
#include <vector>

namespace kt6 {

struct SplitCommand {
    std::vector<std::string> words;
    // Why the text does not split ("a \" is not closed"); empty when it does.
    std::string error;
};

// The words of the text; no words for a blank text.
SplitCommand splitCommandLine(std::string_view text);

}  // namespace kt6
