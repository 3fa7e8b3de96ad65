// The page side of a frame. The page's root element carries what a script
// watching it needs: data-frames, the frames drawn so far, and data-state,
// "stopped" once the frame count asked for by ?frames=N is reached. Then no
// callback draws again, so the canvas holds that frame for as long as anyone
// looks (the viewer's animation otherwise advances one step per frame).
#include <GL/glut.h>
#include <emscripten.h>

#include "web_gl.h"

// clang-format off
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
