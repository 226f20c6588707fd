#include "logging/log.h"

namespace kt6 {

// Windows has no journal: its console and services take plain lines.
bool isJournalStream(int, const char*) {
    return false;
}

}  // namespace kt6
