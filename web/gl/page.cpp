// The page side of the window and of a frame.
//
// The window: a program asks for its size in pixels (or the width the page
// has, where that is less), and on a screen of
// several device pixels to the CSS pixel the page shows the canvas at that
// size in CSS pixels while it draws at the screen's own density, so that it
// is sharp. The program then sees the window in device pixels, as it would
// on such a screen at home (its reshape is told 1280 x 960 at ratio 2).
// Its WebGL context is the one the page made ready for the usual window,
// unless the program asks for another kind (glutInitDisplayMode).
//
// The first frame is drawn as soon as the main loop starts, as on the
// desktop; later ones at the browser's animation frames.
//
// A frame: the page's root element carries what a script watching it needs:
// data-frames, the frames drawn so far, and data-state, "stopped" once the
// frame count asked for by ?frames=N is reached. Then no callback draws
// again, so the canvas holds that frame for as long as anyone looks (the
// viewer's animation otherwise advances one step per frame).
#include <GL/glut.h>
#include <emscripten.h>
#include <emscripten/eventloop.h>

#include <cmath>

#include "layer.h"

// clang-format off
EM_JS(double, device_pixel_ratio, (), {
    return window.devicePixelRatio || 1;
});

// A style rule, not the canvas's own style, which Emscripten's GLUT clears
// whenever it sizes the canvas.
EM_JS(void, show_canvas_at, (int width, int height), {
    var rule = document.getElementById("canvas-size");
    if (!rule) {
        rule = document.createElement("style");
        rule.id = "canvas-size";
        document.head.append(rule);
    }
    rule.textContent = "#canvas { width: " + width + "px; height: " + height + "px; }";
});

// A page made narrower or wider (a phone turned, a window resized) sizes
// the window again.
EM_JS(void, watch_page_width, (), {
    addEventListener("resize", function() { _web_page_resized(); });
});

// The width the page has for the canvas, in CSS pixels: on a phone, or in
// a narrow frame, less than the window the program asks for.
EM_JS(int, page_width, (), {
    return document.documentElement.clientWidth || 0;
});

// A run in the viewer's page stops where that page was asked to.
EM_JS(int, frames_asked, (), {
    var search = window.frameElement ? parent.location.search : location.search;
    var match = /[?&]frames=([0-9]+)/.exec(search);
    return match ? parseInt(match[1], 10) : 0;
});

// What Emscripten's GLUT does for the window's size, which the layer's
// glutInitWindowSize takes the place of.
// A context starts with its viewport and scissor box on the whole canvas;
// the one the page made early was made on a canvas of another size.
EM_JS(void, set_glut_window_size, (int width, int height), {
    Browser.setCanvasSize(GLUT.initWindowWidth = width, GLUT.initWindowHeight = height);
    var early = Module.earlyContext;
    if (early && !Module.ctx) {
        early.viewport(0, 0, width, height);
        early.scissor(0, 0, width, height);
    }
});

// What Emscripten's GLUT keeps of the display callback and of a redisplay
// already asked for, which the layer's glutDisplayFunc and glutMainLoop take
// the place of.
using glut_callback = void (*)();
EM_JS(void, set_glut_display_func, (glut_callback func), {
    GLUT.displayFunc = func;
});

EM_JS(int, hold_redisplays, (), {
    var held = GLUT.requestedAnimationFrame;
    GLUT.requestedAnimationFrame = true;
    return held;
});

EM_JS(void, release_redisplays, (int held), {
    GLUT.requestedAnimationFrame = !!held;
});

// What GLUT's glutCreateWindow will ask of WebGL for this mode, against
// the context the page made early for the usual window: another kind of
// window takes a fresh canvas, before GLUT makes its context.
EM_JS(void, set_glut_display_mode, (unsigned int mode), {
    GLUT.initDisplayMode = mode;
    var early = Module.earlyContext;
    if (!early || Module.ctx)
        return;
    var made = early.getContextAttributes();
    if (made.alpha != !!(mode & 0x0008) || made.depth != !!(mode & 0x0010) ||
        made.stencil != !!(mode & 0x0020) || made.antialias != !!(mode & 0x0080))
        Module.freshCanvas();
});

EM_JS(int, canvas_width, (), {
    return Module.canvas.width;
});

EM_JS(int, canvas_height, (), {
    return Module.canvas.height;
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

glut_callback display_callback = nullptr;

// The window the program asked for, and the canvas shown, in CSS pixels.
int asked_width = 0, asked_height = 0;
int shown_width = 0, shown_height = 0;

// Narrower than asked, the canvas keeps the window's shape and draws at
// the size shown, as a window made smaller would. Returns whether the
// size shown changed; the window's size, in device pixels, is in *width
// and *height.
bool fit_to_page(int* width, int* height)
{
    int w = asked_width, h = asked_height;
    const int room = page_width();
    if (room > 0 && room < w) {
        h = static_cast<int>(static_cast<long long>(h) * room / w);
        w = room;
    }
    const bool changed = w != shown_width || h != shown_height;
    shown_width = w;
    shown_height = h;
    show_canvas_at(w, h);
    const double ratio = device_pixel_ratio();
    *width = static_cast<int>(std::lround(w * ratio));
    *height = static_cast<int>(std::lround(h * ratio));
    return changed;
}

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void web_page_resized()
{
    int width = 0, height = 0;
    // Before its first frame the program has no window to resize.
    if (frames_drawn > 0 && fit_to_page(&width, &height))
        glutReshapeWindow(width, height);
}

void glutInitWindowSize(int width, int height)
{
    asked_width = width;
    asked_height = height;
    fit_to_page(&width, &height);
    set_glut_window_size(width, height);
    watch_page_width();
}

void glutInitDisplayMode(unsigned int mode)
{
    set_glut_display_mode(mode);
}

void glutDisplayFunc(void (*func)())
{
    display_callback = func;
    set_glut_display_func(func);
}

// Emscripten's GLUT shows the first frame at the browser's next animation
// frame, which a page still being laid out and composited holds back by
// tens of milliseconds. The desktop draws it as soon as the window is up;
// so does this: the reshape, then the frame the reshape asks for, at once.
void glutMainLoop()
{
    const int held = hold_redisplays();
    glutReshapeWindow(canvas_width(), canvas_height());
    release_redisplays(held);
    if (display_callback != nullptr)
        display_callback();
    emscripten_unwind_to_js_event_loop();
}

void glutSwapBuffers()
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
