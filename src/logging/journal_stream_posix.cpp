#include <sys/stat.h>

#include <charconv>
#include <cstring>

#include "logging/log.h"

namespace kt6 {

namespace {

// One decimal number filling [first, last) exactly.
bool number(const char* first, const char* last, unsigned long long& value) {
    if (first == last) return false;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last;
}

}  // namespace

bool isJournalStream(int fd, const char* journalStream) {
    if (!journalStream) return false;
    const char* end = journalStream + std::strlen(journalStream);
    const char* colon = std::strchr(journalStream, ':');
    unsigned long long device = 0;
    unsigned long long inode = 0;
    if (!colon || !number(journalStream, colon, device) || !number(colon + 1, end, inode))
        return false;
    // A service's stderr redirected elsewhere (a file, a pipe to a logger) keeps the variable
    // it inherited: only the very stream the journal opened takes priorities.
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    return static_cast<unsigned long long>(st.st_dev) == device &&
           static_cast<unsigned long long>(st.st_ino) == inode;
}

}  // namespace kt6
