#pragma once
// runSpaceBarCommand: "vorrel --space-bar=on|off|status" — the Home pane's switches from a
// terminal. For each file manager found it prints one line, "NAME: STATE — DETAIL", where
// STATE is on, off, built in or unavailable (status, and after on/off the state reached),
// or "failed" when turning it on or off did not work. Exit status 0, or 1 when any file
// manager failed; 2 for a mode that is none of the three.
//
// Needs a QCoreApplication (the session bus). Thread-safety: main thread only.

#include <QString>

#include <cstdio>

#include "spacebar/SpaceBar.h"

namespace vorrel::spacebar {

int runSpaceBarCommand(const QString& mode, SpaceBar& spaceBar, std::FILE* out, std::FILE* err);

}  // namespace vorrel::spacebar
