#pragma once
// DefaultApplication: makes Vorrel Quick Look the desktop's default application for EPS
// files, by running `xdg-mime default vorrel-quicklook.desktop image/x-eps` (a program
// with an argument list, never a shell). The outcome arrives on the GUI thread.
//
// Thread-safety: GUI thread only.

#include <functional>

#include <QString>

namespace vorrel {

class DefaultApplication {
public:
    static constexpr const char* desktopEntry = "vorrel-quicklook.desktop";
    static constexpr const char* epsMimeType = "image/x-eps";

    // Starts xdg-mime; done(true) when it ran and exited with status 0.
    static void makeQuickLookDefaultForEps(std::function<void(bool)> done = {});
};

}  // namespace vorrel
