// SPDX-FileCopyrightText: 2026 The Rotavel Motion developers
// SPDX-License-Identifier: MIT

// What the end-to-end tests need from the X server besides xdotool: the polite close a window
// manager's close button sends (xdotool's windowclose destroys the window instead, which is no way
// for a program to end), the window's class, the open popup menus, and a fast watch of the drawing
// area that tells whole frames from anything else.
//
//   x11_window_tool close WINDOW               asks the window to close (WM_DELETE_WINDOW)
//   x11_window_tool class WINDOW               prints the window's WM_CLASS: "INSTANCE CLASS"
//   x11_window_tool popups                     prints "ID X Y W H" for each shown popup window
//   x11_window_tool watch WINDOW X Y MS FRAMES DIR [close]
//       samples the drawing area's interior at (X, Y) in the window as fast as the server allows
//       for MS milliseconds and looks each sample up in FRAMES (the output of whole_frames);
//       the first few samples that match nothing are saved in DIR. With `close`, asks the window
//       to close right after the last sample and goes on sampling until the window is gone.
//       Prints "watch samples N whole W hub-bar B covered C unmatched U pictures P" (P: changes
//       of picture) and "last LABEL", then the same for the samples after the close with
//       "gone-ms MS"; exits 1 if any sample matched nothing or the window did not go.
#include "tests/ui/picture_hash.h"

#include <QImage>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr, "usage: x11_window_tool close WINDOW | class WINDOW | popups "
                         "| watch WINDOW X Y MS FRAMES DIR [close]\n");
    return 2;
}

int failOnError(Display*, XErrorEvent* error) {
    std::fprintf(stderr, "x11_window_tool: X error %d\n", error->error_code);
    std::exit(1);
}

// The pixel as 0xRRGGBB, whatever the visual's channel layout.
std::uint32_t rgb(XImage* image, int x, int y) {
    const unsigned long pixel = XGetPixel(image, x, y);
    auto channel = [pixel](unsigned long mask) {
        if (mask == 0)
            return 0u;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        const unsigned long max = mask >> shift;
        return static_cast<unsigned>(((pixel & mask) >> shift) * 255 / max);
    };
    return (channel(image->red_mask) << 16) | (channel(image->green_mask) << 8) |
           channel(image->blue_mask);
}

QImage toImage(XImage* image) {
    QImage out(image->width, image->height, QImage::Format_RGB32);
    for (int row = 0; row < image->height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(row));
        for (int col = 0; col < image->width; ++col)
            line[col] = 0xFF000000u | rgb(image, col, row);
    }
    return out;
}

int requestClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return 0;
}

int printClass(Display* display, Window window) {
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint)) {
        std::fprintf(stderr, "x11_window_tool: the window has no WM_CLASS\n");
        return 1;
    }
    std::printf("%s %s\n", hint.res_name, hint.res_class);
    XFree(hint.res_name);
    XFree(hint.res_class);
    return 0;
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

int listPopups(Display* display) {
    XSetErrorHandler(ignoreError);
    for (const Popup& p : shownPopups(display))
        std::printf("0x%lx %d %d %d %d\n", p.id, p.x, p.y, p.w, p.h);
    return 0;
}

using rotavel::uitest::kPictureHeight;
using rotavel::uitest::kPictureWidth;
using rotavel::uitest::PictureHash;

// The output of whole_frames: which picture each hash belongs to.
struct Frames {
    std::unordered_map<std::uint64_t, std::string> whole;
    std::unordered_map<std::uint64_t, std::string> barless;
};

bool readFrames(const char* file, Frames& frames) {
    std::FILE* in = std::fopen(file, "r");
    if (!in)
        return false;
    unsigned long long whole = 0, barless = 0;
    char label[64];
    while (std::fscanf(in, "%llx %llx %63s", &whole, &barless, label) == 3) {
        frames.whole.emplace(whole, label);
        frames.barless.emplace(barless, label);
    }
    std::fclose(in);
    return !frames.whole.empty();
}

PictureHash hashPicture(XImage* image) {
    // The usual 24-bit visual read straight from memory; anything else through Xlib.
    if (image->bits_per_pixel == 32 && image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 &&
        image->blue_mask == 0xFF && image->byte_order == LSBFirst) {
        return rotavel::uitest::pictureHash([image](int x, int y) {
            const auto* p = reinterpret_cast<const unsigned char*>(image->data) +
                            static_cast<std::ptrdiff_t>(y) * image->bytes_per_line + 4 * x;
            return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
        });
    }
    return rotavel::uitest::pictureHash([image](int x, int y) { return rgb(image, x, y); });
}

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

class Watch {
public:
    Watch(Display* display, Window window, int x, int y, const Frames& frames, std::string dir)
        : m_display(display), m_window(window), m_x(x), m_y(y), m_frames(frames),
          m_dir(std::move(dir)) {}

    // Takes one sample into `tally`; false once the window can no longer be read.
    bool sample(Tally& tally) {
        XImage* image = XGetImage(m_display, m_window, m_x, m_y, kPictureWidth, kPictureHeight,
                                  AllPlanes, ZPixmap);
        if (!image)
            return false;
        const PictureHash hash = hashPicture(image);
        ++tally.samples;
        if (tally.samples == 1 || hash.whole != tally.lastHash)
            ++tally.pictures;
        tally.lastHash = hash.whole;
        std::string label;
        if (auto whole = m_frames.whole.find(hash.whole); whole != m_frames.whole.end()) {
            ++tally.whole;
            label = whole->second;
        } else if (auto bar = m_frames.barless.find(hash.barless); bar != m_frames.barless.end()) {
            ++tally.hubBar; // a Run's hub bar drawn over this frame, until the next tick
            label = "hub-bar:" + bar->second;
        } else if (covered()) {
            ++tally.covered;
            label = "covered";
        } else {
            ++tally.unmatched;
            label = "unmatched";
            keep(image);
        }
        XDestroyImage(image);
        tally.last = label;
        return true;
    }

private:
    // Whether a popup lies over the watched part of the window now.
    bool covered() {
        int left = 0, top = 0;
        Window child = 0;
        XTranslateCoordinates(m_display, m_window, DefaultRootWindow(m_display), m_x, m_y, &left,
                              &top, &child);
        for (const Popup& p : shownPopups(m_display)) {
            if (p.x < left + kPictureWidth && left < p.x + p.w && p.y < top + kPictureHeight &&
                top < p.y + p.h)
                return true;
        }
        return false;
    }

    void keep(XImage* image) {
        constexpr int kKept = 5;
        if (m_kept >= kKept)
            return;
        const std::string file = m_dir + "/unmatched-" + std::to_string(getpid()) + "-" +
                                 std::to_string(m_kept++) + ".png";
        if (toImage(image).save(QString::fromStdString(file), "PNG"))
            std::fprintf(stderr, "x11_window_tool: a sample that is no whole frame: %s\n",
                         file.c_str());
    }

    Display* m_display;
    Window m_window;
    int m_x, m_y;
    const Frames& m_frames;
    std::string m_dir;
    int m_kept = 0;
};

int watch(Display* display, Window window, int x, int y, int milliseconds, const char* framesFile,
          const char* dir, bool thenClose) {
    using Clock = std::chrono::steady_clock;
    Frames frames;
    if (!readFrames(framesFile, frames)) {
        std::fprintf(stderr, "x11_window_tool: cannot read the frames in %s\n", framesFile);
        return 1;
    }
    XSetErrorHandler(ignoreError);
    Watch watch(display, window, x, y, frames, dir);

    Tally before;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        if (!watch.sample(before)) {
            std::fprintf(stderr, "x11_window_tool: the window could not be read\n");
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
    constexpr auto kGrace = std::chrono::seconds(5);
    bool gone = false;
    while (!gone && Clock::now() - closed < kGrace) {
        XWindowAttributes a;
        gone = !XGetWindowAttributes(display, window, &a) || a.map_state != IsViewable ||
               !watch.sample(after);
    }
    const auto goneMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - closed).count();
    after.print("after-close");
    std::printf("gone-ms %lld\n", static_cast<long long>(goneMs));
    if (!gone)
        std::fprintf(stderr, "x11_window_tool: the window is still shown after the close\n");
    return before.unmatched == 0 && after.unmatched == 0 && gone ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 2 || (argc < 3 && std::string(argv[1]) != "popups"))
        return usage();
    const std::string command = argv[1];
    const Window window = argc >= 3 ? std::strtoul(argv[2], nullptr, 0) : 0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11_window_tool: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(failOnError);
    int status = 0;
    if (command == "close" && argc == 3) {
        status = requestClose(display, window);
    } else if (command == "class" && argc == 3) {
        status = printClass(display, window);
    } else if (command == "popups" && argc == 2) {
        status = listPopups(display);
    } else if (command == "watch" &&
               (argc == 8 || (argc == 9 && std::string(argv[8]) == "close"))) {
        status = watch(display, window, std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                       argv[6], argv[7], argc == 9);
    } else {
        status = usage();
    }
    XCloseDisplay(display);
    return status;
}
