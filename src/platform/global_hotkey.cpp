#include "platform/global_hotkey.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <mutex>

#include "support/thread_guard.h"

namespace clipmill {

namespace {

// The key is grabbed with and without NumLock and CapsLock, so it works whatever their state.
const unsigned kModifierVariants[] = {0, Mod2Mask, LockMask, Mod2Mask | LockMask};
const unsigned kModifiers = ControlMask | Mod1Mask;

// Xlib reports a refused grab through the process-wide error handler, after a sync.
std::mutex grabMutex;
bool grabRefused = false;

int noteRefusal(Display*, XErrorEvent* error) {
    if (error->error_code == BadAccess) grabRefused = true;
    return 0;
}

bool grabAll(Display* display, Window root, int keycode) {
    std::lock_guard lock(grabMutex);
    grabRefused = false;
    auto previous = XSetErrorHandler(noteRefusal);
    for (unsigned variant : kModifierVariants)
        XGrabKey(display, keycode, kModifiers | variant, root, False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    XSetErrorHandler(previous);
    return !grabRefused;
}

void ungrabAll(Display* display, Window root, int keycode) {
    for (unsigned variant : kModifierVariants) XUngrabKey(display, keycode, kModifiers | variant, root);
    XSync(display, False);
}

}  // namespace

GlobalHotKey::GlobalHotKey(std::function<void()> onPress, const std::string& display) : onPress_(std::move(onPress)) {
    Display* x = XOpenDisplay(display.empty() ? nullptr : display.c_str());
    if (!x) return;
    display_ = x;
    root_ = DefaultRootWindow(x);
    keycode_ = XKeysymToKeycode(x, XK_k);
    if (keycode_ == 0 || !grabAll(x, root_, keycode_) || pipe2(wake_, O_CLOEXEC) != 0) {
        ungrabAll(x, root_, keycode_);
        return;
    }
    XSelectInput(x, root_, KeyPressMask);
    XFlush(x);
    active_ = true;
    thread_ = std::thread([this] { runGuarded("hot key", [this] { listen(); }); });
}

GlobalHotKey::~GlobalHotKey() {
    if (thread_.joinable()) {
        char byte = 0;
        (void)!write(wake_[1], &byte, 1);
        thread_.join();
    }
    auto* x = static_cast<Display*>(display_);
    if (x) {
        if (active_) ungrabAll(x, root_, keycode_);
        XCloseDisplay(x);
    }
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

void GlobalHotKey::listen() {
    auto* x = static_cast<Display*>(display_);
    pollfd fds[2] = {{ConnectionNumber(x), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    for (;;) {
        while (XPending(x) > 0) {
            XEvent event;
            XNextEvent(x, &event);
            if (event.type == KeyPress && static_cast<int>(event.xkey.keycode) == keycode_ &&
                (event.xkey.state & kModifiers) == kModifiers)
                onPress_();
        }
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents & POLLIN) return;
    }
}

}  // namespace clipmill
