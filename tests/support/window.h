// Windows of the programs under test, seen and handled through Xlib as a
// user and a window manager would.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/image.h"

namespace e2e {

// One Xlib connection to $DISPLAY, with X errors (a window gone meanwhile)
// turned into failed calls rather than the end of the test process.
// Throws std::runtime_error when the display cannot be opened.
class x_connection {
public:
    x_connection();
    ~x_connection();
    x_connection(const x_connection&) = delete;
    x_connection& operator=(const x_connection&) = delete;

    Display* get() const { return handle; }
    operator Display*() const { return handle; }

private:
    Display* handle = nullptr;
};

struct window_rect {
    int x = 0, y = 0;          // top-left of the window's inside, in root coordinates
    int width = 0, height = 0;
};

// Viewable windows anywhere under the root whose WM_NAME or _NET_WM_NAME is
// exactly `title`, top-level first.
std::vector<Window> windows_titled(Display* display, const std::string& title);

// Waits for the first such window; nothing if none appears in time.
std::optional<Window> find_window(Display* display, const std::string& title,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

std::string window_title(Display* display, Window window);
std::optional<window_rect> window_geometry(Display* display, Window window);
bool window_exists(Display* display, Window window);
bool wait_window_gone(Display* display, Window window,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The window's contents as the screen shows them (XGetImage); nothing if the
// window is gone or not viewable.
std::optional<rgb_image> capture_window(Display* display, Window window);

// Captures until two captures `quiet` apart are identical and not all black
// (a frame has landed and nothing changes); nothing if that does not happen
// within `timeout`. Not for animated windows.
std::optional<rgb_image> capture_settled(Display* display, Window window,
                                     std::chrono::milliseconds quiet = std::chrono::milliseconds(150),
                                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

// What a user's click on the close button does: a WM_DELETE_WINDOW message
// (freeglut then exits 0). Not a destroy, as `xdotool windowclose` would do.
bool close_window(Display* display, Window window);

// Resizes as a window manager would and waits until the window has the size.
bool resize_window(Display* display, Window window, int width, int height,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Paints the window black from outside, as a window passing over it would
// leave it, and sends an Expose so the program must draw it again.
bool expose_window(Display* display, Window window);

// Gives the window the keyboard focus and types one key through XTEST
// (`xdotool key`), e.g. "Return", "space", "Escape".
bool press_key(Display* display, Window window, const std::string& keysym_name);

}  // namespace e2e
