#include "settings/Prefs.h"

namespace vorrel::Prefs {

AnyKey::AnyKey(std::string name, std::shared_ptr<platform::Suite> suite)
    : name_(std::move(name)), suite_(std::move(suite)) {}

std::optional<platform::SuiteWriteError> AnyKey::reset() const { return suite_->removeObject(name_); }

void reset(const std::vector<AnyKey>& keys) {
    for (const auto& key : keys) key.reset();
}

void reset(const std::vector<std::string>& names, platform::Suite& suite) {
    for (const auto& name : names) suite.removeObject(name);
}

void removeAll(platform::Suite& suite) {
    for (const auto& [name, object] : suite.dictionaryRepresentation()) suite.removeObject(name);
}

bool isValidKeyPath(std::string_view name) {
    if (name.starts_with('@')) return false;
    for (unsigned char c : name)
        if (c == '.' || c > 0x7F) return false;
    return true;
}

}  // namespace vorrel::Prefs
