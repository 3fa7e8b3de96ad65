// LD_PRELOAD library for the sphere programs' tests: makes the two things
// happen that the X server cannot be asked for.
//   SPHERES_SHIM_NO_QUADRIC=1    gluNewQuadric returns null, as GLU does out of memory.
//   SPHERES_SHIM_ZERO_HEIGHT=1   the first reshape is followed by one with height 0
//                                and one back at the real size, as a minimise gives on
//                                some window systems.
#include <GL/glut.h>
#include <dlfcn.h>

#include <cstdlib>

namespace {

bool enabled(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '1';
}

void (*program_reshape)(int, int) = nullptr;

void reshape_with_zero_height(int width, int height)
{
    static bool done = false;
    program_reshape(width, height);
    if (!done) {
        done = true;
        program_reshape(width, 0);
        program_reshape(width, height);
    }
}

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" GLUquadric* gluNewQuadric()
{
    if (enabled("SPHERES_SHIM_NO_QUADRIC"))
        return nullptr;
    return next<GLUquadric* (*)()>("gluNewQuadric")();
}

extern "C" void glutReshapeFunc(void (*callback)(int, int))
{
    auto real = next<void (*)(void (*)(int, int))>("glutReshapeFunc");
    if (enabled("SPHERES_SHIM_ZERO_HEIGHT") && callback) {
        program_reshape = callback;
        real(reshape_with_zero_height);
    } else {
        real(callback);
    }
}
