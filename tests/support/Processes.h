#pragma once
// Finding a test's own processes: by something unique to the test in their command line (a
// temporary path), never by a program's name, so that other people's processes on the machine
// are neither seen nor disturbed.

#include <sys/types.h>

#include <string>
#include <vector>

namespace vorrel::test {

// Running processes (zombies aside) whose command line mentions `text`, other than `except`
// (for example the program that was given the same path).
std::vector<pid_t> processesMentioning(const std::string& text, pid_t except = 0);
// The parent of a running process, or 0.
pid_t parentOf(pid_t process);

}  // namespace vorrel::test
