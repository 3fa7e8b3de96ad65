#include "support/window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <stdexcept>

#include "support/process.h"

namespace test_support {
namespace {

// Xlib's default error handler ends the process; a test asking about a window
// that has just gone should get a failed call instead.
int x_errors = 0;

int count_error(Display*, XErrorEvent*)
{
    ++x_errors;
    return 0;
}

// Runs `work` and reports whether the server raised no error meanwhile.
template <typename Work>
bool without_errors(Display* display, Work work)
{
    XSync(display, False);
    x_errors = 0;
    work();
    XSync(display, False);
    return x_errors == 0;
}

// A text property of 8-bit items; `type` nullptr takes any type.
std::string text_property(Display* display, Window window, const char* name, const char* type)
{
    const Atom property = XInternAtom(display, name, False);
    const Atom wanted = type ? XInternAtom(display, type, False) : AnyPropertyType;
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    bool ok = without_errors(display, [&] {
        XGetWindowProperty(display, window, property, 0, 1024, False, wanted, &actual, &format, &count,
                           &after, &data);
    });
    if (ok && data && (wanted == AnyPropertyType || actual == wanted) && format == 8)
        text.assign(reinterpret_cast<char*>(data), count);
    if (data)
        XFree(data);
    return text;
}

bool viewable(Display* display, Window window)
{
    XWindowAttributes attributes;
    bool ok = false;
    const bool no_error = without_errors(display, [&] {
        ok = XGetWindowAttributes(display, window, &attributes) != 0;
    });
    return no_error && ok && attributes.map_state == IsViewable;
}

void collect(Display* display, Window parent, const std::string& title, std::vector<Window>& found,
             std::vector<Window>& below)
{
    Window root = 0, parent_back = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!without_errors(display, [&] { XQueryTree(display, parent, &root, &parent_back, &children, &count); }))
        return;
    // XQueryTree lists bottom to top; look at the top of the stack first.
    for (unsigned i = count; i-- > 0;) {
        const Window child = children[i];
        if (viewable(display, child) && window_title(display, child) == title)
            found.push_back(child);
        below.push_back(child);
    }
    if (children)
        XFree(children);
}

}  // namespace

x_connection::x_connection()
{
    handle = XOpenDisplay(nullptr);
    if (!handle)
        throw std::runtime_error("cannot open the X display");
    XSetErrorHandler(count_error);
}

x_connection::~x_connection()
{
    if (handle)
        XCloseDisplay(handle);
}

std::string window_title(Display* display, Window window)
{
    std::string title = text_property(display, window, "_NET_WM_NAME", "UTF8_STRING");
    if (title.empty())
        title = text_property(display, window, "WM_NAME", nullptr);
    return title;
}

std::vector<Window> windows_titled(Display* display, const std::string& title)
{
    // Breadth first, so a top-level window comes before anything inside one.
    std::vector<Window> found;
    std::vector<Window> level{DefaultRootWindow(display)};
    while (!level.empty()) {
        std::vector<Window> next;
        for (Window window : level)
            collect(display, window, title, found, next);
        level.swap(next);
    }
    return found;
}

std::optional<Window> find_window(Display* display, const std::string& title, std::chrono::milliseconds timeout,
                                  const std::vector<Window>& ignore)
{
    std::optional<Window> found;
    wait_until(
        [&] {
            for (Window window : windows_titled(display, title)) {
                if (std::find(ignore.begin(), ignore.end(), window) == ignore.end()) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::optional<window_rect> window_geometry(Display* display, Window window)
{
    XWindowAttributes attributes;
    Window child = 0;
    window_rect geometry;
    bool ok = false;
    const bool no_error = without_errors(display, [&] {
        ok = XGetWindowAttributes(display, window, &attributes) != 0 &&
             XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &geometry.x, &geometry.y,
                                   &child) != 0;
    });
    if (!no_error || !ok)
        return std::nullopt;
    geometry.width = attributes.width;
    geometry.height = attributes.height;
    return geometry;
}

bool window_exists(Display* display, Window window)
{
    XWindowAttributes attributes;
    bool ok = false;
    const bool no_error = without_errors(display, [&] {
        ok = XGetWindowAttributes(display, window, &attributes) != 0;
    });
    return no_error && ok;
}

bool wait_window_gone(Display* display, Window window, std::chrono::milliseconds timeout)
{
    return wait_until([&] { return !window_exists(display, window); }, timeout);
}

std::optional<rgb_image> capture_window(Display* display, Window window)
{
    const std::optional<window_rect> geometry = window_geometry(display, window);
    if (!geometry || !viewable(display, window))
        return std::nullopt;
    XImage* shot = nullptr;
    const bool no_error = without_errors(display, [&] {
        shot = XGetImage(display, window, 0, 0, geometry->width, geometry->height, AllPlanes, ZPixmap);
    });
    if (!no_error || !shot) {
        if (shot)
            XDestroyImage(shot);
        return std::nullopt;
    }

    // Scale each channel from its mask to 8 bits, whatever the visual's layout.
    auto channel = [](unsigned long pixel, unsigned long mask) -> std::uint8_t {
        if (mask == 0)
            return 0;
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        const unsigned long top = mask >> shift;
        return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / top);
    };
    rgb_image image(shot->width, shot->height);
    for (int y = 0; y < shot->height; ++y) {
        for (int x = 0; x < shot->width; ++x) {
            const unsigned long pixel = XGetPixel(shot, x, y);
            image.set(x, y,
                      rgb_pixel{channel(pixel, shot->red_mask), channel(pixel, shot->green_mask),
                          channel(pixel, shot->blue_mask)});
        }
    }
    XDestroyImage(shot);
    return image;
}

std::optional<rgb_image> capture_settled(Display* display, Window window, std::chrono::milliseconds quiet,
                                         std::chrono::milliseconds timeout)
{
    // The first question only takes a capture: two captures must stand `quiet` apart.
    std::optional<rgb_image> last;
    std::optional<rgb_image> settled;
    wait_until(
        [&] {
            std::optional<rgb_image> now = capture_window(display, window);
            if (now && last && now->width == last->width && now->height == last->height && now->rgb == last->rgb &&
                count_non_black(*now) > 0)
                settled = now;
            last = std::move(now);
            return settled.has_value();
        },
        timeout, quiet);
    return settled;
}

bool close_window(Display* display, Window window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    return without_errors(display, [&] { XSendEvent(display, window, False, NoEventMask, &event); });
}

bool resize_window(Display* display, Window window, int width, int height, std::chrono::milliseconds timeout)
{
    if (!without_errors(display, [&] {
            XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
        }))
        return false;
    return wait_until(
        [&] {
            const std::optional<window_rect> geometry = window_geometry(display, window);
            return geometry && geometry->width == width && geometry->height == height;
        },
        timeout);
}

bool paint_window(Display* display, Window window, rgb_pixel colour)
{
    const std::optional<window_rect> geometry = window_geometry(display, window);
    if (!geometry)
        return false;
    return without_errors(display, [&] {
        const Visual* visual = DefaultVisual(display, DefaultScreen(display));
        auto place = [](std::uint8_t value, unsigned long mask) {
            int shift = 0;
            while (mask && !((mask >> shift) & 1))
                ++shift;
            return (static_cast<unsigned long>(value) * (mask >> shift) / 255) << shift;
        };
        GC gc = XCreateGC(display, window, 0, nullptr);
        XSetForeground(display, gc,
                       place(colour.r, visual->red_mask) | place(colour.g, visual->green_mask) |
                           place(colour.b, visual->blue_mask));
        XSetSubwindowMode(display, gc, IncludeInferiors);
        XFillRectangle(display, window, gc, 0, 0, static_cast<unsigned>(geometry->width),
                       static_cast<unsigned>(geometry->height));
        XFreeGC(display, gc);
    });
}

bool wait_for_new_frames(Display* display, Window window, int count, bool ask, std::chrono::milliseconds timeout)
{
    for (int i = 0; i < count; ++i) {
        if (!(ask ? expose_window(display, window) : paint_window(display, window, rgb_pixel{})))
            return false;
        const std::optional<rgb_image> frame =
            capture_until(display, window, [](const rgb_image& shot) { return count_non_black(shot) > 0; }, timeout);
        if (!frame || count_non_black(*frame) == 0)
            return false;
    }
    return true;
}

bool expose_window(Display* display, Window window)
{
    // exposures = True: the server sends the Expose a real uncovering would.
    return paint_window(display, window, rgb_pixel{}) &&
           without_errors(display, [&] { XClearArea(display, window, 0, 0, 0, 0, True); });
}

bool focus_window(Display* display, Window window)
{
    return without_errors(display, [&] { XSetInputFocus(display, window, RevertToParent, CurrentTime); });
}

bool press_key(Display* display, Window window, const std::string& keysym_name)
{
    if (!focus_window(display, window))
        return false;
    try {
        const run_result typed = run_program({"xdotool", "key", "--clearmodifiers", keysym_name}, std::chrono::seconds(10));
        return typed.status && typed.status->exited_with(0);
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace test_support
