// What the end-to-end test needs from the X server besides xdotool: the pixels of a window, and
// the polite close a window manager's close button sends (xdotool's windowclose destroys the
// window instead, which is no way for a program to end).
//
//   x11_window_tool checksum WINDOW [X Y W H]  prints a hash of the window's pixels (or a part)
//   x11_window_tool grab WINDOW FILE.png       saves the window's pixels
//   x11_window_tool close WINDOW               asks the window to close (WM_DELETE_WINDOW)
#include <QImage>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: x11_window_tool checksum WINDOW [X Y W H] | grab WINDOW FILE.png "
                         "| close WINDOW\n");
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

XImage* windowPixels(Display* display, Window window, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) {
        XWindowAttributes attributes;
        XGetWindowAttributes(display, window, &attributes);
        w = attributes.width - x;
        h = attributes.height - y;
    }
    return XGetImage(display, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                     AllPlanes, ZPixmap);
}

int checksum(Display* display, Window window, int x, int y, int w, int h) {
    XImage* image = windowPixels(display, window, x, y, w, h);
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a
    for (int row = 0; row < image->height; ++row)
        for (int col = 0; col < image->width; ++col) {
            hash = (hash ^ rgb(image, col, row)) * 1099511628211ull;
        }
    std::printf("%016llx\n", static_cast<unsigned long long>(hash));
    XDestroyImage(image);
    return 0;
}

int grab(Display* display, Window window, const char* file) {
    XImage* image = windowPixels(display, window, 0, 0, 0, 0);
    QImage out(image->width, image->height, QImage::Format_RGB32);
    for (int row = 0; row < image->height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(row));
        for (int col = 0; col < image->width; ++col)
            line[col] = 0xFF000000u | rgb(image, col, row);
    }
    XDestroyImage(image);
    if (!out.save(QString::fromLocal8Bit(file), "PNG")) {
        std::fprintf(stderr, "x11_window_tool: cannot write %s\n", file);
        return 1;
    }
    return 0;
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

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3)
        return usage();
    const std::string command = argv[1];
    const Window window = std::strtoul(argv[2], nullptr, 0);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11_window_tool: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(failOnError);
    int status = 0;
    if (command == "checksum" && argc == 3) {
        status = checksum(display, window, 0, 0, 0, 0);
    } else if (command == "checksum" && argc == 7) {
        status = checksum(display, window, std::atoi(argv[3]), std::atoi(argv[4]),
                          std::atoi(argv[5]), std::atoi(argv[6]));
    } else if (command == "grab" && argc == 4) {
        status = grab(display, window, argv[3]);
    } else if (command == "close" && argc == 3) {
        status = requestClose(display, window);
    } else {
        status = usage();
    }
    XCloseDisplay(display);
    return status;
}
