// vhw-webadmin: serves the web administration sites of the virtual world's
// mainframes (ORVEHV_WORLD or the built-in one) on their loopback addresses
// until SIGINT / SIGTERM.
//
//   vhw-webadmin [--port N]      (default 8080)
#include "virtualhw/WebAdmin.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t g_quit = 0;
void onSignal(int) { g_quit = 1; }
} // namespace

int main(int argc, char **argv)
{
    long port = 8080;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char *end = nullptr;
            port = std::strtol(argv[++i], &end, 10);
            if (!end || *end || port < 1 || port > 65535) {
                std::fprintf(stderr, "vhw-webadmin: bad port '%s'\n", argv[i]);
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: vhw-webadmin [--port N]\n");
            return 2;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    vhw::WebAdmin sites;
    std::string error;
    if (!sites.start(uint16_t(port), &error)) {
        std::fprintf(stderr, "vhw-webadmin: %s\n", error.c_str());
        return 1;
    }
    for (const std::string &a : sites.addresses())
        std::printf("vhw-webadmin: http://%s:%u/\n", a.c_str(), unsigned(sites.port()));
    std::fflush(stdout);
    while (!g_quit)
        ::usleep(100000);
    sites.stop();
    return 0;
}
