// vhw-autodetect-responder: answers autodetection probes on 127.0.0.1 for the
// mainframes of the virtual world (ORVEHV_WORLD or the built-in one) until
// SIGINT / SIGTERM.
//
//   vhw-autodetect-responder [--port N]      (default 3113)
#include "virtualhw/AutodetectResponder.h"

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
    long port = 3113;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char *end = nullptr;
            port = std::strtol(argv[++i], &end, 10);
            if (!end || *end || port < 1 || port > 65535) {
                std::fprintf(stderr, "vhw-autodetect-responder: bad port '%s'\n", argv[i]);
                return 2;
            }
        } else {
            std::fprintf(stderr, "usage: vhw-autodetect-responder [--port N]\n");
            return 2;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    vhw::AutodetectResponder responder;
    std::string error;
    if (!responder.start(uint16_t(port), &error)) {
        std::fprintf(stderr, "vhw-autodetect-responder: %s\n", error.c_str());
        return 1;
    }
    std::printf("vhw-autodetect-responder: answering on 127.0.0.1:%u for %zu mainframe(s)\n",
                unsigned(responder.port()), vhw::AutodetectResponder::worldReplies().size());
    std::fflush(stdout);
    while (!g_quit)
        ::usleep(100000);
    responder.stop();
    return 0;
}
