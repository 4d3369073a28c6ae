// Runs the local fake backend for manual use and demos until interrupted.
//   fake_backend_server [--port N]    (default: any free port)

#include "support/fake_backend.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    pennial::testing::FakeBackend::Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            options.port = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--port N]\n", argv[0]);
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }

    // Block the stop signals before the server's threads start, then wait for one here.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        pennial::testing::FakeBackend backend(options);
        std::printf("%s\n", backend.baseURL().c_str());
        std::fflush(stdout);
        int received = 0;
        sigwait(&stopSignals, &received);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fake_backend_server: %s\n", error.what());
        return 1;
    }
    return 0;
}
