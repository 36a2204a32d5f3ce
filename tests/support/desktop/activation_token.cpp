// activation_token [APP_ID]: prints a fresh XDG activation token from the Wayland compositor,
// as a launcher asks for one for the program it starts (XDG_ACTIVATION_TOKEN). Exits 1 with a
// message when there is no compositor or it offers no xdg_activation_v1.
#include <cstdio>
#include <cstring>
#include <string>

#include <wayland-client.h>

#include "xdg-activation-v1-client-protocol.h"

namespace {

xdg_activation_v1* activation = nullptr;
std::string token;
bool done = false;

void global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
    if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        activation = static_cast<xdg_activation_v1*>(wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}
void globalRemove(void*, wl_registry*, uint32_t) {}
const wl_registry_listener registryListener{global, globalRemove};

void tokenDone(void*, xdg_activation_token_v1*, const char* value) {
    token = value;
    done = true;
}
const xdg_activation_token_v1_listener tokenListener{tokenDone};

}  // namespace

int main(int argc, char* argv[]) {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "activation_token: no Wayland compositor answers\n");
        return 1;
    }
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, nullptr);
    wl_display_roundtrip(display);
    if (!activation) {
        std::fprintf(stderr, "activation_token: the compositor offers no xdg_activation_v1\n");
        return 1;
    }
    xdg_activation_token_v1* request = xdg_activation_v1_get_activation_token(activation);
    xdg_activation_token_v1_add_listener(request, &tokenListener, nullptr);
    if (argc > 1) xdg_activation_token_v1_set_app_id(request, argv[1]);
    xdg_activation_token_v1_commit(request);
    while (!done && wl_display_dispatch(display) != -1) {
    }
    if (!done) return 1;
    std::printf("%s\n", token.c_str());
    wl_display_disconnect(display);
    return 0;
}
