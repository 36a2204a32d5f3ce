#pragma once
// The calling process and thread, as the kernel knows them.
//
// Thread-safety: callable from any thread; each acts on the caller only.
#include <cstdio>
#include <string_view>

namespace vorrel::platform {

long processId();
// Whether the caller is the process's first thread.
bool onMainThread();
// The kernel's name of the calling thread (for debuggers and ps); Linux keeps 15 bytes.
void setKernelThreadName(std::string_view name);

// Keeps standard output for the caller alone: returns a stream on a close-on-exec copy of it
// (children never hold it) and points descriptor 1 at standard error, so that whatever else
// would print there goes to standard error. Returns stdout when that cannot be done.
std::FILE* takeStandardOutput();

}  // namespace vorrel::platform
