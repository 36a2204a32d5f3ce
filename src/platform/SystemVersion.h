#pragma once
// SystemVersion: the one place layout code asks which system version it runs on.
//
// Some layouts differ by system version (a translucent backdrop below 26, for example).
// Linux has no such version, so the seam reports one fixed version, kLinuxSystemVersion;
// tests override it with setForTesting() to exercise each branch and restore it with
// setForTesting(std::nullopt).
//
// Thread-safety: every function may be called from any thread.

#include <optional>

namespace vorrel::platform {

struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;

    friend constexpr auto operator<=>(const OperatingSystemVersion&,
                                      const OperatingSystemVersion&) = default;
};

// What the seam reports on Linux unless a test says otherwise: the newest layouts.
inline constexpr OperatingSystemVersion kLinuxSystemVersion{26, 0, 0};

class SystemVersion {
public:
    // The version the running system reports.
    static OperatingSystemVersion current();
    // Whether current() is at least `version` (major, then minor, then patch).
    static bool isAtLeast(OperatingSystemVersion version);
    // Makes current() report `version`; nothing restores the fixed Linux version.
    static void setForTesting(std::optional<OperatingSystemVersion> version);
};

}  // namespace vorrel::platform
