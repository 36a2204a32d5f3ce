#include "platform/ModuleLocation.h"

#include <dlfcn.h>

#include <system_error>

namespace vorrel::platform {

std::filesystem::path moduleFolder(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0) return {};
    std::filesystem::path module = info.dli_fname ? info.dli_fname : "";
    std::error_code error;
    if (module.empty() || !module.has_parent_path()) {
        // glibc reports the main program as "" or as its bare argv[0].
        module = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) return {};
    }
    if (module.is_relative()) {
        module = std::filesystem::absolute(module, error);
        if (error) return {};
    }
    return module.lexically_normal().parent_path();
}

void* moduleFunction(const std::filesystem::path& module, const char* name, std::string* error) {
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* function = handle ? dlsym(handle, name) : nullptr;
    if (!function && error) {
        const char* message = dlerror();
        *error = message ? message : "cannot load " + module.string();
    }
    return function;
}

}  // namespace vorrel::platform
