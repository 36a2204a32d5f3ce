#include "settings/SharedSettings.h"

#include <string>

#include "platform/AppGroup.h"

namespace vorrel {

std::shared_ptr<platform::Suite> sharedSuite() {
    static const std::shared_ptr<platform::Suite> suite =
        platform::Suite::open(std::string(appGroupIdentifier()));
    return suite;
}

const Prefs::Key<bool>& transparentBackground() {
    static const Prefs::Key<bool> key("transparentBackground", sharedSuite(), false);
    return key;
}

const Prefs::Key<bool>& logToFile() {
    static const Prefs::Key<bool> key("logToFile", sharedSuite(), false);
    return key;
}

}  // namespace vorrel
