#pragma once
// protectionNote(support): one plain sentence, in the user's language, saying which of the
// converter's kernel protections this system lacks and what that lets Ghostscript do; empty
// when Landlock and the seccomp filter are both there. Shown by `vorrel-quicklook --version`
// and the Settings pane.
//   no Landlock: "Landlock is missing on this system, so Ghostscript can read your files and
//                 change any you may change."
//   no seccomp:  "The seccomp filter is missing on this system, so Ghostscript can signal and
//                 slow down your other programs."
//   neither:     "Landlock and the seccomp filter are missing on this system, so Ghostscript
//                 can read and change your files and signal and slow down your other programs."
// The texts are in the context "vorrel::ProtectionNote" of each program's catalogue.
//
// Thread-safety: any thread, once the catalogues are installed.

#include <QString>

#include "platform/Sandbox.h"

namespace vorrel::platform {

QString protectionNote(const Sandbox::Support& support = Sandbox::support());

}  // namespace vorrel::platform
