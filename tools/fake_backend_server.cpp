// Runs the local fake backend for manual use and demos until interrupted; prints its base address
// on the first line of standard output.
//   fake_backend_server [--port N] [--local]    (port default: any free port)
// --local: the answers `scripts/run --local` needs for a person trying the program (see
// local_backend.hpp).

#include "local_backend/local_backend.hpp"
#include "support/fake_backend.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    pennial::testing::FakeBackend::Options options;
    bool local = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            options.port = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--local") == 0) {
            local = true;
        } else {
            std::fprintf(stderr, "usage: %s [--port N] [--local]\n", argv[0]);
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
        if (local)
            pennial::local_backend::installLocalAnswers(backend);
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
