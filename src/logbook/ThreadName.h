#pragma once
// Thread names as log lines show them.
//
// Linux cuts a thread's kernel name at 15 bytes, so the whole name is kept here, per
// thread; setCurrentThreadName also sets the (cut) kernel name for debuggers and ps.
// threadSegment() is the text of the thread segment of a log line:
//   "[main] " on the process's main thread; else "[<name>] " when the calling thread's
//   name is non-empty; else "[<label>] " of the SerialQueue running the caller when that
//   label is valid UTF-8 and non-empty; else "[0x...] ", the address of an object that
//   exists once per thread.
// All functions act on the calling thread only and are thread-safe.

#include <string>
#include <string_view>

namespace vorrel {

void setCurrentThreadName(std::string name);
const std::string& currentThreadName();
bool isMainThread();
std::string threadSegment();

}  // namespace vorrel
