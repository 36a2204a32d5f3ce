// The one line that says which of the converter's protections the kernel lacks.
#include "platform/desktop/ProtectionNote.h"

#include <gtest/gtest.h>

namespace vorrel::platform {
namespace {

Sandbox::Support offering(int landlockAbi, bool seccomp) {
    Sandbox::Support support;
    support.landlockAbi = landlockAbi;
    support.seccomp = seccomp;
    return support;
}

TEST(ProtectionNote, SaysWhatIsMissingInOneLine) {
    EXPECT_EQ(protectionNote(offering(2, true)).toStdString(), "");
    EXPECT_EQ(protectionNote(offering(0, true)).toStdString(),
              "Landlock is missing on this system, so Ghostscript can read your files and change "
              "any you may change.");
    EXPECT_EQ(protectionNote(offering(6, false)).toStdString(),
              "The seccomp filter is missing on this system, so Ghostscript can signal and slow "
              "down your other programs.");
    EXPECT_EQ(protectionNote(offering(0, false)).toStdString(),
              "Landlock and the seccomp filter are missing on this system, so Ghostscript can read "
              "and change your files and signal and slow down your other programs.");
    for (const auto& support : {offering(0, true), offering(6, false), offering(0, false)})
        EXPECT_FALSE(protectionNote(support).contains('\n'));
}

// This kernel's own answer, as `vorrel-quicklook --version` and the Settings pane give it.
TEST(ProtectionNote, MatchesThisKernel) {
    const auto& support = Sandbox::support();
    EXPECT_EQ(protectionNote().isEmpty(), support.landlockAbi > 0 && support.seccomp);
}

}  // namespace
}  // namespace vorrel::platform
