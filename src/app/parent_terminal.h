#pragma once
// Output of --help, --version and --headless reaches the terminal the program was started
// from. One file per system: parent_terminal_posix.cpp (it is there already),
// parent_terminal_win32.cpp (a window program has no console of its own and borrows its
// parent's).
namespace kt6 {

void useParentTerminal();

}  // namespace kt6
