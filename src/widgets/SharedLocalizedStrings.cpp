#include "widgets/SharedLocalizedStrings.h"

#include "widgets/LibraryBundle.h"
#include "widgets/MakerLinks.h"

namespace vorrel::zodadavovov::sharedstrings {

namespace {
constexpr std::string_view otherAppKey =
    ZV_TEXT("[Tessel: tile your windows with the keyboard](https://flathub.org/apps/app.quarnix.Tessel)");
static_assert(otherAppKey.find(maker::otherAppStorePage) != std::string_view::npos,
              "the link must lead to the store page");
}  // namespace

const QString& otherApp() {
    static const QString text = libraryText(otherAppKey.data());
    return text;
}

}  // namespace vorrel::zodadavovov::sharedstrings
