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

int usage() {
    std::fprintf(stderr,
                 "usage: practice_site --port N --record FILE [--upload-ms N] [--cover-delay-ms N]\n"
                 "       [--stall-upload] [--fail-upload] [--refuse-cover] [--submit-noop]\n"
                 "       [--submit-send-ms N] [--submit-answer-ms N] [--drop-upload] [--moved-upload]\n"
                 "       [--answer-lost] [--refuse-code N] [--site-id N] [--success-in-place]\n");
    return 2;
}

bool takesValue(const std::string& flag) {
    return flag == "--port" || flag == "--record" || flag == "--upload-ms" || flag == "--cover-delay-ms" ||
           flag == "--submit-send-ms" || flag == "--submit-answer-ms" || flag == "--refuse-code" || flag == "--site-id";
}
}  // namespace

int main(int argc, char** argv) {
    std::string port = "0";
    std::string recordFile;
    practice::Knobs knobs;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (flag.rfind("--", 0) != 0) return usage();
        std::string value = "1";
        if (takesValue(flag)) {
            if (i + 1 >= argc) return usage();
            value = argv[++i];
        }
        if (flag == "--port") {
            port = value;
        } else if (flag == "--record") {
            recordFile = value;
        } else if (!practice::setKnob(knobs, flag.substr(2), value)) {
            return usage();
        }
    }
    practice::Site site(recordFile, knobs);
    int bound = site.bind(std::atoi(port.c_str()));
    if (bound <= 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%s\n", port.c_str());
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
