// A POSIX program writes to the terminal it inherited, window or not.
#include "parent_terminal.h"

namespace kt6 {

void useParentTerminal() {}

}  // namespace kt6
