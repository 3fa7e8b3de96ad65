// Windows of the programs under test, seen and handled through Xlib as a
// user and a window manager would.
#pragma once

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/image.h"
#include "support/wait.h"

namespace test_support {

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

// Waits for the first such window that is not in `ignore` (windows of an
// earlier run); nothing if none appears in time.
std::optional<Window> find_window(Display* display, const std::string& title,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(10),
                                  const std::vector<Window>& ignore = {});

std::string window_title(Display* display, Window window);
std::optional<window_rect> window_geometry(Display* display, Window window);
bool window_exists(Display* display, Window window);
bool wait_window_gone(Display* display, Window window,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10));

// The window's contents as the screen shows them (XGetImage); nothing if the
// window is gone or not viewable.
std::optional<rgb_image> capture_window(Display* display, Window window);

// Captures the window until a capture satisfies `wanted` or `timeout` has
// passed, and returns the last capture either way (nothing if none could be
// made), so the caller can judge it and say what was last seen. A window that
// is mapped is not yet painted: every check of what a window shows goes
// through here.
template <typename Wanted>
std::optional<rgb_image> capture_until(Display* display, Window window, Wanted&& wanted,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    std::optional<rgb_image> last;
    wait_until(
        [&] {
            last = capture_window(display, window);
            return last && wanted(*last);
        },
        timeout);
    return last;
}

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

// Paints the window's inside in one colour from outside, as the program
// would never draw it; no Expose is sent.
bool paint_window(Display* display, Window window, rgb_pixel colour);

// Waits until the program has put `count` new frames on the window: each
// time paints it black from outside and waits for a capture that is not all
// black. `ask`: also sends the Expose an uncovering would, for a program that
// draws only when asked; otherwise the program's idle loop draws. After a
// resize, the second new frame comes after the program has seen the new
// size (a frame begun before can only be the first).
bool wait_for_new_frames(Display* display, Window window, int count, bool ask,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Paints the window black from outside, as a window passing over it would
// leave it, and sends an Expose so the program must draw it again.
bool expose_window(Display* display, Window window);

// Gives the window the keyboard focus.
bool focus_window(Display* display, Window window);

// Gives the window the keyboard focus and types one key through XTEST
// (`xdotool key`), e.g. "Return", "space", "Escape".
bool press_key(Display* display, Window window, const std::string& keysym_name);

}  // namespace test_support
