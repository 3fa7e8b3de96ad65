// x11_probe: what a shell script needs to watch and handle a program's
// window on an X display (the Windows check runs the .exe files under Wine):
//
//   x11_probe find TITLE SECONDS         waits for a viewable window titled
//                                        TITLE, prints its id
//   x11_probe frame ID OUT.ppm SECONDS [still]
//                                        waits until the window shows
//                                        something other than black (still:
//                                        and stays the same for 150 ms),
//                                        writes that picture as binary PPM
//   x11_probe close ID                   sends WM_DELETE_WINDOW, as a click
//                                        on the close button does
//   x11_probe focus ID                   gives the window the keyboard focus
//   x11_probe colours IN.ppm             prints how many pixels are red, dark
//                                        and light
//
// Exit status 0 on success, 1 when the wait ran out or the window is gone,
// 2 on a usage error. Each wait stops at its deadline.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using steady = std::chrono::steady_clock;

struct picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

int x_errors = 0;

int count_error(Display*, XErrorEvent*)
{
    ++x_errors;
    return 0;
}

std::string text_property(Display* display, Window window, const char* name)
{
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False,
                           AnyPropertyType, &actual, &format, &count, &after, &data) == Success &&
        data && format == 8)
        text.assign(reinterpret_cast<char*>(data), count);
    if (data)
        XFree(data);
    return text;
}

bool titled(Display* display, Window window, const std::string& title)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    return text_property(display, window, "WM_NAME") == title ||
           text_property(display, window, "_NET_WM_NAME") == title;
}

// Depth first from the root, top of each stack first.
Window search(Display* display, Window parent, const std::string& title)
{
    Window root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned i = count; i-- > 0 && !found;) {
        if (titled(display, children[i], title))
            found = children[i];
        else
            found = search(display, children[i], title);
    }
    if (children)
        XFree(children);
    return found;
}

bool capture(Display* display, Window window, picture* out)
{
    XWindowAttributes attributes;
    x_errors = 0;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    XImage* shot = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                             static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    XSync(display, False);
    if (!shot || x_errors) {
        if (shot)
            XDestroyImage(shot);
        return false;
    }
    auto channel = [](unsigned long pixel, unsigned long mask) {
        int shift = 0;
        while (mask && !((mask >> shift) & 1))
            ++shift;
        const unsigned long top = mask >> shift;
        return static_cast<unsigned char>(top ? ((pixel & mask) >> shift) * 255 / top : 0);
    };
    out->width = shot->width;
    out->height = shot->height;
    out->rgb.clear();
    for (int y = 0; y < shot->height; ++y) {
        for (int x = 0; x < shot->width; ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            out->rgb.push_back(channel(pixel, shot->red_mask));
            out->rgb.push_back(channel(pixel, shot->green_mask));
            out->rgb.push_back(channel(pixel, shot->blue_mask));
        }
    }
    XDestroyImage(shot);
    return true;
}

bool all_black(const picture& p)
{
    for (unsigned char c : p.rgb)
        if (c)
            return false;
    return true;
}

bool write_ppm(const picture& p, const char* path)
{
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", p.width, p.height);
    const bool written = std::fwrite(p.rgb.data(), 1, p.rgb.size(), f) == p.rgb.size();
    return std::fclose(f) == 0 && written;
}

bool read_ppm(const char* path, picture* p)
{
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    int top = 0;
    bool ok = std::fscanf(f, "P6 %d %d %d", &p->width, &p->height, &top) == 3 && top == 255 &&
              std::fgetc(f) != EOF && p->width > 0 && p->height > 0;
    if (ok) {
        p->rgb.resize(static_cast<size_t>(p->width) * static_cast<size_t>(p->height) * 3);
        ok = std::fread(p->rgb.data(), 1, p->rgb.size(), f) == p->rgb.size();
    }
    std::fclose(f);
    return ok;
}

steady::time_point deadline_after(const char* seconds)
{
    return steady::now() + std::chrono::milliseconds(static_cast<long>(std::atof(seconds) * 1000));
}

void pause_briefly()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

int usage()
{
    std::fprintf(stderr,
                 "usage: x11_probe find TITLE SECONDS | frame ID OUT.ppm SECONDS [still] |\n"
                 "       close ID | focus ID | colours IN.ppm\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return usage();
    const std::string command = argv[1];

    if (command == "colours") {
        picture p;
        if (!read_ppm(argv[2], &p)) {
            std::fprintf(stderr, "x11_probe: cannot read %s as binary PPM\n", argv[2]);
            return 1;
        }
        long red = 0, dark = 0, light = 0;
        for (size_t i = 0; i < p.rgb.size(); i += 3) {
            const int r = p.rgb[i], g = p.rgb[i + 1], b = p.rgb[i + 2];
            red += r > 180 && g < 100 && b < 100;
            dark += r < 80 && g < 80 && b < 80;
            light += r > 200 && g > 200 && b > 200;
        }
        std::printf("red %ld dark %ld light %ld\n", red, dark, light);
        return 0;
    }

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "x11_probe: cannot open the display\n");
        return 1;
    }
    // A window that goes away meanwhile makes a call fail, not this process.
    XSetErrorHandler(count_error);

    if (command == "find" && argc == 4) {
        const auto deadline = deadline_after(argv[3]);
        for (;;) {
            if (const Window found = search(display, DefaultRootWindow(display), argv[2])) {
                std::printf("%lu\n", found);
                return 0;
            }
            if (steady::now() >= deadline)
                break;
            pause_briefly();
        }
        std::fprintf(stderr, "x11_probe: no window titled \"%s\" appeared\n", argv[2]);
        return 1;
    }

    const Window window = std::strtoul(argv[2], nullptr, 0);
    if (command == "frame" && (argc == 5 || (argc == 6 && std::strcmp(argv[5], "still") == 0))) {
        const bool still = argc == 6;
        const auto deadline = deadline_after(argv[4]);
        picture last, now;
        bool have_last = false;
        for (;;) {
            const bool got = capture(display, window, &now);
            if (got && !all_black(now) &&
                (!still || (have_last && now.width == last.width && now.height == last.height &&
                            now.rgb == last.rgb)))
                return write_ppm(now, argv[3]) ? 0 : 1;
            if (steady::now() >= deadline)
                break;
            have_last = got;
            std::swap(last, now);
            std::this_thread::sleep_for(std::chrono::milliseconds(still ? 150 : 50));
        }
        std::fprintf(stderr, "x11_probe: window %s showed no %s picture in time\n", argv[2],
                     still ? "settled" : "non-black");
        return 1;
    }

    if (command == "close" && argc == 3) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        x_errors = 0;
        XSendEvent(display, window, False, NoEventMask, &event);
        XSync(display, False);
        return x_errors ? 1 : 0;
    }

    if (command == "focus" && argc == 3) {
        x_errors = 0;
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
        return x_errors ? 1 : 0;
    }

    return usage();
}
