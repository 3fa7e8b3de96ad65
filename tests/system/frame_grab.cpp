// LD_PRELOAD library that saves one frame of a GLX program and ends it:
//   FRAME_GRAB_AT=N        the frame to save, counted from 1 by glXSwapBuffers
//   FRAME_GRAB_TO=OUT.ppm  where to write it (binary PPM, top row first)
//   FRAME_GRAB_SIZE=WxH    optional: the window size the program asks GLUT
//                          for, replaced (a page at device pixel ratio 2 draws
//                          640 x 480 windows as 1280 x 960)
// The back buffer is read just before the N-th swap, and the program then
// exits with status 0 at once. The web check compares the pages with these.
#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "formats/writer.h"

namespace {

long frames = 0;

bool save_back_buffer(Display* display, GLXDrawable drawable, const char* path)
{
    unsigned width = 0, height = 0;
    glXQueryDrawable(display, drawable, GLX_WIDTH, &width);
    glXQueryDrawable(display, drawable, GLX_HEIGHT, &height);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGB,
                 GL_UNSIGNED_BYTE, pixels.data());
    // OpenGL's rows run bottom up.
    const ptrdiff_t row_bytes = static_cast<ptrdiff_t>(width) * 3;
    const unsigned char* top_row = pixels.data() + (ptrdiff_t{height} - 1) * row_bytes;
    return formats::write_file(path, formats::make_ppm(static_cast<int32_t>(width),
                                                       static_cast<int32_t>(height), top_row,
                                                       -row_bytes));
}

}  // namespace

extern "C" void glutInitWindowSize(int width, int height)
{
    static auto next = reinterpret_cast<void (*)(int, int)>(dlsym(RTLD_NEXT, "glutInitWindowSize"));
    const char* size = std::getenv("FRAME_GRAB_SIZE");
    int w = 0, h = 0;
    if (size && std::sscanf(size, "%dx%d", &w, &h) == 2 && w > 0 && h > 0) {
        width = w;
        height = h;
    }
    next(width, height);
}

extern "C" void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    static auto next =
        reinterpret_cast<void (*)(Display*, GLXDrawable)>(dlsym(RTLD_NEXT, "glXSwapBuffers"));
    const char* at = std::getenv("FRAME_GRAB_AT");
    const char* to = std::getenv("FRAME_GRAB_TO");
    if (at && to && ++frames == std::atol(at)) {
        const bool saved = save_back_buffer(display, drawable, to);
        if (!saved)
            std::fprintf(stderr, "frame_grab: cannot write %s\n", to);
        _exit(saved ? 0 : 1);
    }
    next(display, drawable);
}
