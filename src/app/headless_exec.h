#pragma once
// "--headless" on POSIX systems: the window's program becomes the console without a window
// (skarnel-kt6-headless, beside it), in the same process and under the same command line, so a
// service manager keeps its process and whoever looks sees the command that was given.

namespace kt6 {

inline constexpr char kHeadlessProgram[] = "skarnel-kt6-headless";

// Replaces this program with the headless one; returns only when that could not be done,
// having said why, with the status to end with.
int execHeadless(char** argv);

}  // namespace kt6
