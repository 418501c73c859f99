// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// What the end-to-end tests need from the X server besides xdotool: the polite close a window
// manager's close button sends (xdotool's windowclose destroys the window instead, which is no way
// for a program to end), the open popup menus, and a fast watch of the drawing area that tells
// whole frames from anything else.
//
//   x11_window_tool close WINDOW    asks the window to close (WM_DELETE_WINDOW)
//   x11_window_tool popups          prints "ID X Y W H" for each shown popup window
//   x11_window_tool watch WINDOW X Y MS FRAMES [close]
//       samples the drawing area's interior at (X, Y) in the window as fast as the server allows
//       for MS milliseconds and looks each sample up in FRAMES (the output of whole_frames).
//       Prints "watch samples N whole W hub-bar B covered C unmatched U pictures P" (P: changes
//       of picture) and "last LABEL". With `close`, then asks the window to close and goes on
//       sampling until it is gone: the same lines for those samples ("after-close ...").
//       Exits 1 if any sample matched nothing or the window did not go.
#include "tests/ui/picture_hash.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using rotavel::uitest::kPictureHeight;
using rotavel::uitest::kPictureWidth;
using Clock = std::chrono::steady_clock;

// Xvfb's 24-bit visual as it comes, in the server's byte order; nothing else is expected.
bool hashPicture(XImage* image, rotavel::uitest::PictureHash& hash) {
    if (image->bits_per_pixel != 32 || image->red_mask != 0xFF0000 || image->green_mask != 0xFF00 ||
        image->blue_mask != 0xFF)
        return false;
    const bool lsb = image->byte_order == LSBFirst;
    hash = rotavel::uitest::pictureHash([image, lsb](int x, int y) {
        const auto* p = reinterpret_cast<const unsigned char*>(image->data) +
                        static_cast<std::ptrdiff_t>(y) * image->bytes_per_line + 4 * x;
        return lsb ? static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16))
                   : static_cast<std::uint32_t>(p[3] | (p[2] << 8) | (p[1] << 16));
    });
    return true;
}

void requestClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

// While popups come and go, or the watched window closes, X errors are part of the job: the call
// that caused one reports its failure to the caller.
int ignoreError(Display*, XErrorEvent*) {
    return 0;
}

struct Popup {
    Window id;
    int x, y, w, h; // on the screen
};

// Shown top-level windows that bypass the window manager: the menus and tool tips.
std::vector<Popup> shownPopups(Display* display) {
    std::vector<Popup> popups;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return popups;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, children[i], &a) && a.override_redirect &&
            a.map_state == IsViewable)
            popups.push_back({children[i], a.x, a.y, a.width, a.height});
    }
    if (children)
        XFree(children);
    return popups;
}

// The output of whole_frames: which picture each hash belongs to.
struct Frames {
    std::unordered_map<std::uint64_t, std::string> whole, barless;
};

struct Tally {
    int samples = 0, whole = 0, hubBar = 0, covered = 0, unmatched = 0, pictures = 0;
    std::string last;
    std::uint64_t lastHash = 0;

    void print(const char* what) const {
        std::printf("%s samples %d whole %d hub-bar %d covered %d unmatched %d pictures %d\n"
                    "last %s\n",
                    what, samples, whole, hubBar, covered, unmatched, pictures, last.c_str());
    }
};

// Whether a popup lies over the watched part of the window now.
bool covered(Display* display, Window window, int x, int y) {
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &x, &y, &child);
    for (const Popup& p : shownPopups(display)) {
        if (p.x < x + kPictureWidth && x < p.x + p.w && p.y < y + kPictureHeight && y < p.y + p.h)
            return true;
    }
    return false;
}

// Takes one sample into `tally`; false once the window can no longer be read.
bool sample(Display* display, Window window, int x, int y, const Frames& frames, Tally& tally) {
    XImage* image =
        XGetImage(display, window, x, y, kPictureWidth, kPictureHeight, AllPlanes, ZPixmap);
    if (!image)
        return false;
    rotavel::uitest::PictureHash hash{};
    const bool read = hashPicture(image, hash);
    XDestroyImage(image);
    if (!read)
        return false;
    if (tally.samples++ == 0 || hash.whole != tally.lastHash)
        ++tally.pictures;
    tally.lastHash = hash.whole;
    if (auto whole = frames.whole.find(hash.whole); whole != frames.whole.end()) {
        ++tally.whole;
        tally.last = whole->second;
    } else if (auto bar = frames.barless.find(hash.barless); bar != frames.barless.end()) {
        ++tally.hubBar; // a Run's hub bar drawn over this frame, until the next tick
        tally.last = "hub-bar:" + bar->second;
    } else if (covered(display, window, x, y)) {
        ++tally.covered;
        tally.last = "covered";
    } else {
        ++tally.unmatched;
        tally.last = "unmatched";
    }
    return true;
}

int watch(Display* display, Window window, int x, int y, int milliseconds, const char* framesFile,
          bool thenClose) {
    Frames frames;
    if (std::FILE* in = std::fopen(framesFile, "r")) {
        unsigned long long whole = 0, barless = 0;
        char label[64];
        while (std::fscanf(in, "%llx %llx %63s", &whole, &barless, label) == 3) {
            frames.whole.emplace(whole, label);
            frames.barless.emplace(barless, label);
        }
        std::fclose(in);
    }
    Tally before;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        if (!sample(display, window, x, y, frames, before)) {
            std::fprintf(stderr,
                         "x11_window_tool: the window could not be read as 24-bit pixels\n");
            return 1;
        }
    } while (Clock::now() < end);
    before.print("watch");
    if (!thenClose)
        return before.unmatched == 0 ? 0 : 1;

    // Whatever the window still shows until it goes must be whole frames too.
    const auto closed = Clock::now();
    requestClose(display, window);
    Tally after;
    bool gone = false;
    while (!gone && Clock::now() - closed < std::chrono::seconds(5)) {
        XWindowAttributes a;
        gone = !XGetWindowAttributes(display, window, &a) || a.map_state != IsViewable ||
               !sample(display, window, x, y, frames, after);
    }
    after.print("after-close");
    if (!gone)
        std::fprintf(stderr, "x11_window_tool: the window is still shown after the close\n");
    return before.unmatched == 0 && after.unmatched == 0 && gone ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::string command = argc >= 2 ? argv[1] : "";
    const bool close = argc == 8 && std::string(argv[7]) == "close";
    if (!((command == "popups" && argc == 2) || (command == "close" && argc == 3) ||
          (command == "watch" && (argc == 7 || close)))) {
        std::fprintf(stderr, "usage: x11_window_tool close WINDOW | popups "
                             "| watch WINDOW X Y MS FRAMES [close]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11_window_tool: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignoreError);
    const Window window = argc >= 3 ? std::strtoul(argv[2], nullptr, 0) : 0;
    int status = 0;
    if (command == "close")
        requestClose(display, window);
    else if (command == "watch")
        status = watch(display, window, std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                       argv[6], close);
    for (const Popup& p : command == "popups" ? shownPopups(display) : std::vector<Popup>{})
        std::printf("0x%lx %d %d %d %d\n", p.id, p.x, p.y, p.w, p.h);
    XCloseDisplay(display);
    return status;
}
