/* Preloaded into a GLUT program: after its first glXSwapBuffers has reached
 * the X server, writes the CLOCK_MONOTONIC time in nanoseconds (8 bytes) to
 * the file descriptor named by FIRST_SWAP_FD and ends the process at once.
 * Before that it notes when each start-up step began or ended, and writes
 * those times after the first: 8 bytes each, in the order of enum step, 0
 * for a step the program did not take. Without FIRST_SWAP_FD it only passes
 * the calls on. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum step {
    WINDOW_MADE,     /* glutCreateWindow returned */
    MODEL_OPENED,    /* fopen of szablon.3ds */
    TEXTURE_OPENED,  /* fopen of szablon.bmp */
    UPLOAD_BEGUN,    /* the first glTexImage2D */
    MIPMAPS_MADE,    /* gluBuild2DMipmaps returned */
    STEP_COUNT
};

static int64_t stamps[STEP_COUNT];

static int64_t now_ns(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
}

static void stamp_once(enum step s)
{
    if (!stamps[s])
        stamps[s] = now_ns();
}

static void* next(const char* name)
{
    return dlsym(RTLD_NEXT, name);
}

int glutCreateWindow(const char* title)
{
    static int (*real)(const char*);
    if (!real)
        real = (int (*)(const char*))next("glutCreateWindow");
    const int window = real(title);
    stamp_once(WINDOW_MADE);
    return window;
}

static void stamp_asset(const char* path)
{
    const char* slash = strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    if (strcmp(name, "szablon.3ds") == 0)
        stamp_once(MODEL_OPENED);
    else if (strcmp(name, "szablon.bmp") == 0)
        stamp_once(TEXTURE_OPENED);
}

FILE* fopen(const char* path, const char* mode)
{
    static FILE* (*real)(const char*, const char*);
    if (!real)
        real = (FILE * (*)(const char*, const char*)) next("fopen");
    stamp_asset(path);
    return real(path, mode);
}

FILE* fopen64(const char* path, const char* mode)
{
    static FILE* (*real)(const char*, const char*);
    if (!real)
        real = (FILE * (*)(const char*, const char*)) next("fopen64");
    stamp_asset(path);
    return real(path, mode);
}

void glTexImage2D(GLenum target, GLint level, GLint internal_format, GLsizei width,
                  GLsizei height, GLint border, GLenum format, GLenum type, const void* pixels)
{
    static void (*real)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                        const void*);
    if (!real)
        real = (void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum,
                         const void*))next("glTexImage2D");
    stamp_once(UPLOAD_BEGUN);
    real(target, level, internal_format, width, height, border, format, type, pixels);
}

GLint gluBuild2DMipmaps(GLenum target, GLint components, GLint width, GLint height,
                        GLenum format, GLenum type, const void* data)
{
    static GLint (*real)(GLenum, GLint, GLint, GLint, GLenum, GLenum, const void*);
    if (!real)
        real = (GLint(*)(GLenum, GLint, GLint, GLint, GLenum, GLenum, const void*))next(
            "gluBuild2DMipmaps");
    const GLint result = real(target, components, width, height, format, type, data);
    stamp_once(MIPMAPS_MADE);
    return result;
}

void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    static void (*real_swap)(Display*, GLXDrawable);
    if (!real_swap)
        real_swap = (void (*)(Display*, GLXDrawable))next("glXSwapBuffers");
    real_swap(display, drawable);

    const char* fd_text = getenv("FIRST_SWAP_FD");
    if (!fd_text)
        return;
    XSync(display, False);
    const int64_t ns = now_ns();
    const int fd = atoi(fd_text);
    if (write(fd, &ns, sizeof ns) != (ssize_t)sizeof ns ||
        write(fd, stamps, sizeof stamps) != (ssize_t)sizeof stamps)
        _exit(3);
    _exit(0);
}
