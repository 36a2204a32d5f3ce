#pragma once
// MakerLinks: every web and mail address of the maker, Quarnix, in one place.
//
// The Help menu builders, the troubleshooting popup and the host application's Help menu
// read these; change an address here and every user of it follows. All addresses are
// constant and well formed.

#include <string_view>

namespace vorrel::zodadavovov::maker {

// The maker's home page ("More Apps By Us").
inline constexpr std::string_view homePage = "https://quarnix.app/";
// Vorrel's own page on the maker's site.
inline constexpr std::string_view vorrelPage = "https://quarnix.app/vorrel/";
// The help page linked from the Quick Look help popup.
inline constexpr std::string_view troubleshootingPage =
    "https://quarnix.app/help/troubleshooting-quick-look-extensions/";
inline constexpr std::string_view privacyPolicy = "https://quarnix.app/privacy/";
inline constexpr std::string_view termsOfService = "https://quarnix.app/terms/";
// Mail address for "Contact Us" (without the "mailto:" scheme).
inline constexpr std::string_view supportEmail = "support@quarnix.app";
// The store page of the maker's other application named in SharedLocalizedStrings.
inline constexpr std::string_view otherAppStorePage = "https://flathub.org/apps/app.quarnix.Tessel";

}  // namespace vorrel::zodadavovov::maker
