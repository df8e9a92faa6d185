#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "site.h"

namespace {
practice::Site* running = nullptr;
void onSignal(int) {
    if (running) running->stop();
}
}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string recordFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0) {
            port = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--record") == 0) {
            recordFile = argv[i + 1];
        } else {
            std::fprintf(stderr, "usage: practice_site --port N --record FILE\n");
            return 2;
        }
    }
    practice::Site site(recordFile);
    int bound = site.bind(port);
    if (bound <= 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    running = &site;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::printf("listening on %d\n", bound);
    std::fflush(stdout);
    site.run();
    return 0;
}
