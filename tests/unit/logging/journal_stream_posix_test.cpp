// Only the very stream JOURNAL_STREAM ("device:inode") names takes priorities: a service whose
// stderr is sent on to a file or a pipe writes plain lines there.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "logging/log.h"
#include "support/temp_dir.h"

namespace kt6 {
namespace {

std::string idOf(const char* path) {
    struct stat st {};
    ::stat(path, &st);
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// What the installed handler writes to stderr, with JOURNAL_STREAM as given.
std::string loggedWith(const std::string& journalStream, const std::string& path) {
    ::setenv("JOURNAL_STREAM", journalStream.c_str(), 1);
    std::fflush(stderr);
    const int saved = ::dup(2);
    std::FILE* err = std::fopen(path.c_str(), "w");
    ::dup2(fileno(err), 2);
    installLogHandler();
    qCWarning(lcLink, "COM3 offline");
    ::dup2(saved, 2);
    ::close(saved);
    std::fclose(err);
    qInstallMessageHandler(nullptr);
    ::unsetenv("JOURNAL_STREAM");
    return testing::slurp(path);
}

TEST(JournalStream, onlyTheStreamItNamesGetsPriorities) {
    const testing::TempDir dir;
    const std::string err = dir.write("err", "").string();
    const std::string other = dir.write("other", "").string();
    EXPECT_EQ(loggedWith(idOf(err.c_str()), err), "<4>link: COM3 offline\n");
    EXPECT_EQ(loggedWith(idOf(other.c_str()), err), "link: COM3 offline\n");
    const std::string id = idOf(err.c_str());
    for (const std::string& bad :
         {std::string(), std::string(":"), std::string("12"), id + "x", "-" + id})
        EXPECT_EQ(loggedWith(bad, err), "link: COM3 offline\n") << bad;
}

}  // namespace
}  // namespace kt6
