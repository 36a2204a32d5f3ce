#include "platform/desktop/ProtectionNote.h"

#include <QCoreApplication>

namespace vorrel::platform {

QString protectionNote(const Sandbox::Support& support) {
    const bool landlock = support.landlockAbi > 0;
    if (landlock && support.seccomp) return {};
    const char* context = "vorrel::ProtectionNote";
    if (!landlock && !support.seccomp)
        return QCoreApplication::translate(
            context,
            "Landlock and the seccomp filter are missing on this system, so Ghostscript can read "
            "and change your files and signal and slow down your other programs.");
    if (!landlock)
        return QCoreApplication::translate(
            context,
            "Landlock is missing on this system, so Ghostscript can read your files and change "
            "any you may change.");
    return QCoreApplication::translate(
        context,
        "The seccomp filter is missing on this system, so Ghostscript can signal and slow down "
        "your other programs.");
}

}  // namespace vorrel::platform
