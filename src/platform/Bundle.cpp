#include "platform/Bundle.h"

#include <mutex>

namespace vorrel::platform {

namespace {
std::mutex mainMutex;
Bundle& mainSlot() {
    static Bundle slot;
    return slot;
}
}  // namespace

Bundle::Bundle(Dictionary info, std::filesystem::path bundlePath)
    : info_(std::move(info)), path_(std::move(bundlePath)) {}

const Value* Bundle::object(std::string_view key) const {
    auto it = info_.find(key);
    return it == info_.end() ? nullptr : &it->second;
}

std::optional<std::string> Bundle::string(std::string_view key) const {
    const Value* value = object(key);
    if (!value) return std::nullopt;
    if (auto* text = value->get<std::string>()) return *text;
    return std::nullopt;
}

std::string Bundle::identifier() const { return string("CFBundleIdentifier").value_or(""); }

Bundle Bundle::main() {
    std::lock_guard lock(mainMutex);
    return mainSlot();
}

void Bundle::setMain(Bundle bundle) {
    std::lock_guard lock(mainMutex);
    mainSlot() = std::move(bundle);
}

std::string versionText() {
    const Bundle host(hostInfoDictionary(), {});
    return host.string("CFBundleShortVersionString").value_or("") + " (build " +
           host.string("CFBundleVersion").value_or("") + ")";
}

}  // namespace vorrel::platform
