#pragma once
// The calling process and thread, as the kernel knows them.
//
// Thread-safety: callable from any thread; each acts on the caller only.
#include <string_view>

namespace vorrel::platform {

long processId();
// Whether the caller is the process's first thread.
bool onMainThread();
// The kernel's name of the calling thread (for debuggers and ps); Linux keeps 15 bytes.
void setKernelThreadName(std::string_view name);

}  // namespace vorrel::platform
