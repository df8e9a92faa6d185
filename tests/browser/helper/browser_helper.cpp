// A second program that reaches the same browsers as the tests:
//   browser_helper start ROOT PROFILE URL   starts a headless browser on ROOT/PROFILE and leaves it running
//   browser_helper attach ROOT              prints the handles it reached and the first one's page address
#include <cstdio>
#include <string>

#include "browser/cdp/cdp_automation.h"

using clipmill::cdp::BrowserMode;
using clipmill::cdp::CdpAutomation;

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string command = argv[1];
    CdpAutomation automation({argv[2], BrowserMode::Headless});
    if (!automation.form_global_init("", nullptr)) {
        std::fprintf(stderr, "no browser\n");
        return 1;
    }
    if (command == "start" && argc == 5) {
        int handle = automation.form_browser_start(argv[4], {std::string(argv[2]) + "/" + argv[3], "", "1,1"});
        if (handle == 0) {
            std::fprintf(stderr, "%s\n", automation.lastError().c_str());
            return 1;
        }
        std::printf("started %d\n", handle);
        return 0;
    }
    if (command == "attach") {
        auto handles = automation.form_connect_started();
        std::printf("reached %zu\n", handles.size());
        if (!handles.empty()) std::printf("url %s\n", automation.form_get_page_url(handles.front()).c_str());
        return 0;
    }
    return 2;
}
