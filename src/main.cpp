#include <cstdio>

int main() {
    std::puts("Clipmill 8.8: the core is built; the main window comes with the main-window work.");
    return 0;
}
