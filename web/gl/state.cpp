// Capabilities and fragment state: what WebGL has itself (depth, blending,
// culling, scissor, masks) goes on to it; what it lacks (alpha test, fog,
// flat shading, point size) is kept here for the shaders. Queries of the
// layer's own state are answered here, the rest by WebGL.
#include <cstdio>
#include <set>

#include "layer.h"
#include "webgl.h"

bool matrix_query(GLenum pname, float* out);

namespace {

fragment_state fragment{GL_ALWAYS, 0, 0, 0, 1, 1, {0, 0, 0, 0}, 1, false};
bool fragment_changed = true;
bool alpha_test = false, fog = false;
GLenum alpha_func = GL_ALWAYS;
GLenum fog_mode = GL_EXP;
// Kept here too: asking WebGL would wait on the GPU mid-frame.
GLboolean depth_writes = GL_TRUE;

void refresh()
{
    fragment.alpha_func = alpha_test ? alpha_func : GL_ALWAYS;
    fragment.fog_mode = !fog ? 0 : fog_mode == GL_LINEAR ? 1 : fog_mode == GL_EXP ? 2 : 3;
    fragment_changed = true;
}

// What WebGL does itself.
bool webgl_capability(GLenum cap)
{
    switch (cap) {
    case GL_BLEND:
    case GL_CULL_FACE:
    case GL_DEPTH_TEST:
    case GL_DITHER:
    case GL_POLYGON_OFFSET_FILL:
    case GL_SCISSOR_TEST:
    case GL_STENCIL_TEST:
        return true;
    default:
        return false;
    }
}

// Changed state is left alone, but drawn without it: said once per call and value.
void set_capability(const char* call, GLenum cap, bool on)
{
    if (webgl_capability(cap)) {
        on ? emscripten_glEnable(cap) : emscripten_glDisable(cap);
    } else if (cap == GL_ALPHA_TEST) {
        alpha_test = on;
        refresh();
    } else if (cap == GL_FOG) {
        fog = on;
        refresh();
    } else if (cap == GL_TEXTURE_2D) {
        set_texturing(on);
    } else if (!set_lighting_capability(cap, on) && on) {
        // Switching off what is never drawn changes nothing.
        say_unhandled(call, cap);
    }
}

}  // namespace

colour clamped(colour c)
{
    auto clamp01 = [](float v) { return v < 0 ? 0 : v > 1 ? 1 : v; };
    return {clamp01(c.r), clamp01(c.g), clamp01(c.b), clamp01(c.a)};
}

void say_unhandled(const char* call, GLenum value)
{
    static std::set<std::pair<const char*, GLenum>> said;
    if (said.insert({call, value}).second)
        std::fprintf(stderr, "%s: 0x%04X is not drawn in the browser; ignored\n", call, value);
}

const fragment_state& current_fragment_state()
{
    return fragment;
}

bool fragment_state_changed()
{
    const bool was = fragment_changed;
    fragment_changed = false;
    return was;
}

void glEnable(GLenum cap)
{
    LISTED(glEnable(cap));
    set_capability("glEnable", cap, true);
}

void glDisable(GLenum cap)
{
    LISTED(glDisable(cap));
    set_capability("glDisable", cap, false);
}

GLboolean glIsEnabled(GLenum cap)
{
    bool on = false;
    if (cap == GL_ALPHA_TEST)
        return alpha_test;
    if (cap == GL_FOG)
        return fog;
    if (cap == GL_TEXTURE_2D)
        return texturing_on();
    if (lighting_capability(cap, &on))
        return on;
    if (webgl_capability(cap))
        return emscripten_glIsEnabled(cap);
    say_unhandled("glIsEnabled", cap);
    return GL_FALSE;
}

void glAlphaFunc(GLenum func, GLclampf ref)
{
    LISTED(glAlphaFunc(func, ref));
    alpha_func = func;
    fragment.alpha_ref = ref < 0 ? 0 : ref > 1 ? 1 : ref;
    refresh();
}

void glFogf(GLenum pname, GLfloat param)
{
    LISTED(glFogf(pname, param));
    switch (pname) {
    case GL_FOG_MODE:
        fog_mode = static_cast<GLenum>(param);
        if (fog_mode != GL_LINEAR && fog_mode != GL_EXP && fog_mode != GL_EXP2)
            say_unhandled("glFog(GL_FOG_MODE)", fog_mode);
        break;
    case GL_FOG_DENSITY: fragment.fog_density = param; break;
    case GL_FOG_START: fragment.fog_start = param; break;
    case GL_FOG_END: fragment.fog_end = param; break;
    default: say_unhandled("glFog", pname); break;
    }
    refresh();
}

void glFogi(GLenum pname, GLint param)
{
    glFogf(pname, static_cast<GLfloat>(param));
}

void glFogfv(GLenum pname, const GLfloat* params)
{
    if (pname != GL_FOG_COLOR) {
        glFogf(pname, params[0]);
        return;
    }
    const colour c = clamped({params[0], params[1], params[2], params[3]});
    LISTED(glFogfv(GL_FOG_COLOR, &c.r));
    fragment.fog_colour[0] = c.r;
    fragment.fog_colour[1] = c.g;
    fragment.fog_colour[2] = c.b;
    fragment.fog_colour[3] = c.a;
    refresh();
}

void glFogiv(GLenum pname, const GLint* params)
{
    if (pname != GL_FOG_COLOR) {
        glFogf(pname, static_cast<GLfloat>(params[0]));
        return;
    }
    GLfloat c[4];
    for (int k = 0; k < 4; ++k)
        c[k] = static_cast<GLfloat>(params[k]) / 2147483647.0f;
    glFogfv(pname, c);
}

void glShadeModel(GLenum mode)
{
    LISTED(glShadeModel(mode));
    if (mode != GL_FLAT && mode != GL_SMOOTH) {
        say_unhandled("glShadeModel", mode);
        return;
    }
    fragment.flat = mode == GL_FLAT;
}

void glPointSize(GLfloat size)
{
    LISTED(glPointSize(size));
    fragment.point_size = size;
    refresh();
}

void glPolygonMode(GLenum face, GLenum mode)
{
    LISTED(glPolygonMode(face, mode));
    if (mode != GL_FILL)
        say_unhandled("glPolygonMode", mode);
}

void glHint(GLenum target, GLenum mode)
{
    // Hints may be ignored, and WebGL knows none of OpenGL 1.x's.
    (void)target;
    (void)mode;
}

// What WebGL has, kept in display lists.
void glBlendFunc(GLenum s, GLenum d)
{
    LISTED(glBlendFunc(s, d));
    emscripten_glBlendFunc(s, d);
}

void glDepthFunc(GLenum func)
{
    LISTED(glDepthFunc(func));
    emscripten_glDepthFunc(func);
}

void glDepthMask(GLboolean flag)
{
    LISTED(glDepthMask(flag));
    depth_writes = flag ? GL_TRUE : GL_FALSE;
    emscripten_glDepthMask(flag);
}

void glDepthRange(GLclampd n, GLclampd f)
{
    LISTED(glDepthRange(n, f));
    emscripten_glDepthRangef(static_cast<float>(n), static_cast<float>(f));
}

void glCullFace(GLenum mode)
{
    LISTED(glCullFace(mode));
    emscripten_glCullFace(mode);
}

void glFrontFace(GLenum mode)
{
    LISTED(glFrontFace(mode));
    emscripten_glFrontFace(mode);
}

void glScissor(GLint x, GLint y, GLsizei w, GLsizei h)
{
    LISTED(glScissor(x, y, w, h));
    emscripten_glScissor(x, y, w, h);
}

void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    LISTED(glViewport(x, y, w, h));
    emscripten_glViewport(x, y, w, h);
}

void glColorMask(GLboolean r, GLboolean g, GLboolean b, GLboolean a)
{
    LISTED(glColorMask(r, g, b, a));
    emscripten_glColorMask(r, g, b, a);
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    LISTED(glClearColor(r, g, b, a));
    emscripten_glClearColor(r, g, b, a);
}

void glClearDepth(GLclampd depth)
{
    LISTED(glClearDepth(depth));
    emscripten_glClearDepthf(static_cast<float>(depth));
}

void glClear(GLbitfield mask)
{
    LISTED(glClear(mask));
    // The accumulation buffer is not there to clear.
    emscripten_glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void glLineWidth(GLfloat width)
{
    LISTED(glLineWidth(width));
    emscripten_glLineWidth(width);
}

void glFlush() {}

void glFinish() {}

void glGetFloatv(GLenum pname, GLfloat* out)
{
    if (!matrix_query(pname, out))
        emscripten_glGetFloatv(pname, out);
}

void glGetDoublev(GLenum pname, GLdouble* out)
{
    float f[16];
    int n = 16;
    if (!matrix_query(pname, f)) {
        emscripten_glGetFloatv(pname, f);
        n = 4;
    } else if (pname != GL_MODELVIEW_MATRIX && pname != GL_PROJECTION_MATRIX &&
               pname != GL_TEXTURE_MATRIX) {
        n = 1;
    }
    for (int i = 0; i < n; ++i)
        out[i] = f[i];
}

void glGetIntegerv(GLenum pname, GLint* out)
{
    float f[16];
    if (pname != GL_MODELVIEW_MATRIX && pname != GL_PROJECTION_MATRIX &&
        pname != GL_TEXTURE_MATRIX && matrix_query(pname, f)) {
        out[0] = static_cast<GLint>(f[0]);
        return;
    }
    if (pname == GL_MAX_LIGHTS) {
        out[0] = 8;
        return;
    }
    emscripten_glGetIntegerv(pname, out);
}

void glGetBooleanv(GLenum pname, GLboolean* out)
{
    if (pname == GL_DEPTH_WRITEMASK)
        out[0] = depth_writes;
    else
        emscripten_glGetBooleanv(pname, out);
}
