// POSIX systems wait on file descriptors, never on event objects: a port's input is watched
// by its descriptor there.
#include "console/link_driver.h"

namespace kt6 {

std::unique_ptr<EventWatch> watchEvent(void*, QObject*, std::function<void()>) {
    return nullptr;
}

}  // namespace kt6
