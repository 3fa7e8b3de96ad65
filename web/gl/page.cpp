// The page side of the window and of a frame.
//
// The window: a program asks for its size in pixels (or the width the page
// has, where that is less), and on a screen of
// several device pixels to the CSS pixel the page shows the canvas at that
// size in CSS pixels while it draws at the screen's own density, so that it
// is sharp. The program then sees the window in device pixels, as it would
// on such a screen at home (its reshape is told 1280 x 960 at ratio 2).
//
// A frame: the page's root element carries what a script watching it needs:
// data-frames, the frames drawn so far, and data-state, "stopped" once the
// frame count asked for by ?frames=N is reached. Then no callback draws
// again, so the canvas holds that frame for as long as anyone looks (the
// viewer's animation otherwise advances one step per frame).
#include <GL/glut.h>
#include <emscripten.h>

#include <cmath>

#include "web_gl.h"

// clang-format off
EM_JS(double, device_pixel_ratio, (), {
    return window.devicePixelRatio || 1;
});

// A style rule, not the canvas's own style, which Emscripten's GLUT clears
// whenever it sizes the canvas.
EM_JS(void, show_canvas_at, (int width, int height), {
    var rule = document.createElement("style");
    rule.textContent = "#canvas { width: " + width + "px; height: " + height + "px; }";
    document.head.append(rule);
});

// The width the page has for the canvas, in CSS pixels: on a phone, or in
// a narrow frame, less than the window the program asks for.
EM_JS(int, page_width, (), {
    return document.documentElement.clientWidth || 0;
});

EM_JS(int, frames_asked, (), {
    var match = /[?&]frames=([0-9]+)/.exec(location.search);
    return match ? parseInt(match[1], 10) : 0;
});

EM_JS(void, show_frame_count, (int frames, int stopped), {
    var root = document.documentElement;
    root.dataset.frames = frames;
    if (stopped)
        root.dataset.state = "stopped";
});
// clang-format on

namespace {

int frames_drawn = 0;
int frame_limit = -1;  // not read yet; 0 for none

void draw_nothing() {}

}  // namespace

void web_init_window_size(int width, int height)
{
    const double ratio = device_pixel_ratio();
    // Narrower than asked, the canvas keeps the window's shape and draws at
    // the size shown, as a window made smaller would.
    const int room = page_width();
    if (room > 0 && room < width) {
        height = static_cast<int>(static_cast<long long>(height) * room / width);
        width = room;
    }
    show_canvas_at(width, height);
    glutInitWindowSize(static_cast<int>(std::lround(width * ratio)),
                       static_cast<int>(std::lround(height * ratio)));
}

void web_swap_buffers()
{
    // The browser shows the canvas when the callback returns; there is no
    // buffer to swap.
    if (frame_limit < 0)
        frame_limit = frames_asked();
    ++frames_drawn;
    const bool stop = frames_drawn == frame_limit;
    if (stop) {
        glutIdleFunc(nullptr);
        // A redisplay may already be queued; it must find a callback.
        glutDisplayFunc(draw_nothing);
    }
    show_frame_count(frames_drawn, stop);
}
