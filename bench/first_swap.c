/* Preloaded into a GLUT program: after its first glXSwapBuffers has reached
 * the X server, writes the CLOCK_MONOTONIC time in nanoseconds (8 bytes) to
 * the file descriptor named by FIRST_SWAP_FD and ends the process at once.
 * Without FIRST_SWAP_FD it only passes the swap on. */
#define _GNU_SOURCE
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <stdint.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    static void (*real_swap)(Display*, GLXDrawable);
    if (!real_swap)
        real_swap = (void (*)(Display*, GLXDrawable))dlsym(RTLD_NEXT, "glXSwapBuffers");
    real_swap(display, drawable);

    const char* fd_text = getenv("FIRST_SWAP_FD");
    if (!fd_text)
        return;
    XSync(display, False);
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t ns = (int64_t)now.tv_sec * 1000000000 + now.tv_nsec;
    if (write(atoi(fd_text), &ns, sizeof ns) != (ssize_t)sizeof ns)
        _exit(3);
    _exit(0);
}
