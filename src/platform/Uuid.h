#pragma once
// Random (version 4) UUIDs in their canonical upper-case text form, for example
// "1B4E28BA-2FA1-41D2-883F-0016D3CCA427": 36 characters, hyphens after the 8th, 12th, 16th
// and 20th hexadecimal digit.
//
// The 122 random bits come from the kernel (getrandom); when it fails, from /dev/urandom.
// Throws std::system_error only when neither source yields bytes. Thread-safe.

#include <string>

namespace vorrel::platform {

std::string newUuidString();

}  // namespace vorrel::platform
