#pragma once
// fatalError: the end of a process that cannot go on (a malformed bundle, for example).
//
// Writes "Fatal error: <text>" and a line feed to stderr, then aborts. Never returns.
// Thread-safety: callable from any thread.

#include <string_view>

namespace vorrel::platform {

[[noreturn]] void fatalError(std::string_view text);

}  // namespace vorrel::platform
