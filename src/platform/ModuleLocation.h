#pragma once
// The folder of the loaded module (shared object or the program itself) whose code or data
// contains a given address, found with dladdr.
//
// Example: code inside P/lib/vorrel/vorrel-extension.so passing the address of one of its own
// functions gets P/lib/vorrel. A relative module path is made absolute against the current
// working directory; symbolic links are not resolved, so a prefix reached through a link
// stays that prefix. For the main program, whose name dladdr may not report, the path of
// /proc/self/exe is used.
//
// Returns an empty path when the address belongs to no loaded module. Thread-safe.
//
// moduleFunction(module, name) loads the module (every symbol bound at once, none of them
// offered to modules loaded later) for the life of the process, and returns the address of its
// function `name`; nullptr with the loader's message in *error when either cannot be had.

#include <filesystem>
#include <string>

namespace vorrel::platform {

std::filesystem::path moduleFolder(const void* address);

void* moduleFunction(const std::filesystem::path& module, const char* name, std::string* error);

}  // namespace vorrel::platform
