// What glEnd hands over, drawn by one shader program: positions through
// the model-view and projection matrices, colours as immediate mode (and
// lighting) left them, then in the fragment shader the texture environment,
// the alpha test and fog, in OpenGL 1.x's order. Uniforms are sent only
// when their state changed since the last draw. Vertices go into one
// buffer, refilled per draw.
#include <cstdio>

#include "layer.h"
#include "webgl.h"

namespace {

const char* const VERTEX_SHADER = R"(#version 300 es
uniform mat4 modelview;
uniform mat4 projection;
uniform float point_size;
in vec3 position;
in vec2 texcoord;
in vec4 colour;
out vec4 v_colour;
out vec2 v_texcoord;
out float v_eye_distance;
void main() {
    vec4 eye = modelview * vec4(position, 1.0);
    gl_Position = projection * eye;
    gl_PointSize = point_size;
    v_colour = colour;
    v_texcoord = texcoord;
    v_eye_distance = abs(eye.z / eye.w);
}
)";

// texture_mode: -1 off, else 0 modulate, 1 replace, 2 decal, 3 blend.
// texture_format: 0 RGBA, 1 RGB, 2 luminance, 3 alpha, 4 luminance-alpha.
// alpha_func: OpenGL's enum less GL_NEVER (0 never ... 7 always).
const char* const FRAGMENT_SHADER = R"(#version 300 es
precision highp float;
uniform sampler2D image;
uniform int texture_mode;
uniform int texture_format;
uniform vec4 env_colour;
uniform ivec2 border;
uniform int alpha_func;
uniform float alpha_ref;
uniform int fog_mode;
uniform vec4 fog;  // start, end, density
uniform vec4 fog_colour;
in vec4 v_colour;
in vec2 v_texcoord;
in float v_eye_distance;
out vec4 fragment;
void main() {
    vec4 c = v_colour;
    if (texture_mode >= 0) {
        vec4 t = texture(image, v_texcoord);
        if (border.x != 0 || border.y != 0) {
            // GL_CLAMP: the filter's share of the border (black, clear) past
            // the outer texels' centres.
            vec2 size = vec2(textureSize(image, 0));
            vec2 clamped = mix(v_texcoord, clamp(v_texcoord, 0.0, 1.0), vec2(border));
            vec2 at = clamped * size;
            vec2 share = max(vec2(0.5) - at, at - (size - 0.5));
            share = clamp(share, 0.0, 1.0) * vec2(border);
            // The level of detail as the unclamped coordinates have it.
            t = textureGrad(image, clamped, dFdx(v_texcoord), dFdy(v_texcoord)) *
                (1.0 - share.x) * (1.0 - share.y);
        }
        bool has_colour = texture_format != 3;
        bool has_alpha = texture_format == 0 || texture_format == 3 || texture_format == 4;
        vec3 rgb = c.rgb;
        float a = c.a;
        if (texture_mode == 0) {
            if (has_colour) rgb = c.rgb * t.rgb;
            if (has_alpha) a = c.a * t.a;
        } else if (texture_mode == 1) {
            if (has_colour) rgb = t.rgb;
            if (has_alpha) a = t.a;
        } else if (texture_mode == 2) {
            if (texture_format <= 1) rgb = mix(c.rgb, t.rgb, t.a);
        } else {
            if (has_colour) rgb = mix(c.rgb, env_colour.rgb, t.rgb);
            if (has_alpha) a = c.a * t.a;
        }
        c = vec4(rgb, a);
    }
    if (alpha_func != 7) {
        bool pass = alpha_func == 1 ? c.a < alpha_ref
                  : alpha_func == 2 ? c.a == alpha_ref
                  : alpha_func == 3 ? c.a <= alpha_ref
                  : alpha_func == 4 ? c.a > alpha_ref
                  : alpha_func == 5 ? c.a != alpha_ref
                  : alpha_func == 6 ? c.a >= alpha_ref
                  : false;
        if (!pass) discard;
    }
    if (fog_mode != 0) {
        float z = v_eye_distance;
        float f = fog_mode == 1 ? (fog.y - z) / (fog.y - fog.x)
                : fog_mode == 2 ? exp(-fog.z * z)
                : exp(-(fog.z * z) * (fog.z * z));
        c.rgb = mix(fog_colour.rgb, c.rgb, clamp(f, 0.0, 1.0));
    }
    fragment = c;
}
)";

struct locations {
    GLint modelview, projection, point_size, image, texture_mode, texture_format, env_colour,
        border, alpha_func, alpha_ref, fog_mode, fog, fog_colour;
};

GLuint program = 0;
GLuint buffer = 0;
GLuint vertex_array = 0;
locations at{};
// The texture uniforms as last sent.
int sent_mode = -2, sent_format = -1, sent_border = -1;
float sent_env[4] = {-1, -1, -1, -1};

GLuint compile(GLenum type, const char* source)
{
    const GLuint shader = emscripten_glCreateShader(type);
    emscripten_glShaderSource(shader, 1, &source, nullptr);
    emscripten_glCompileShader(shader);
    return shader;
}

void set_up()
{
    program = emscripten_glCreateProgram();
    emscripten_glAttachShader(program, compile(GL_VERTEX_SHADER, VERTEX_SHADER));
    emscripten_glAttachShader(program, compile(GL_FRAGMENT_SHADER, FRAGMENT_SHADER));
    emscripten_glBindAttribLocation(program, 0, "position");
    emscripten_glBindAttribLocation(program, 1, "texcoord");
    emscripten_glBindAttribLocation(program, 2, "colour");
    emscripten_glLinkProgram(program);
    GLint linked = 0;
    emscripten_glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[1024] = "";
        emscripten_glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "the GL layer's shaders: %s\n", log);
    }
    emscripten_glUseProgram(program);
    auto where = [](const char* name) { return emscripten_glGetUniformLocation(program, name); };
    at = {where("modelview"),   where("projection"),     where("point_size"),
          where("image"),       where("texture_mode"),   where("texture_format"),
          where("env_colour"),  where("border"),         where("alpha_func"),     where("alpha_ref"),
          where("fog_mode"),    where("fog"),            where("fog_colour")};
    emscripten_glUniform1i(at.image, 0);

    emscripten_glGenVertexArrays(1, &vertex_array);
    emscripten_glBindVertexArray(vertex_array);
    emscripten_glGenBuffers(1, &buffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const GLsizei stride = sizeof(drawn_vertex);
    emscripten_glEnableVertexAttribArray(0);
    emscripten_glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<void*>(offsetof(drawn_vertex, x)));
    emscripten_glEnableVertexAttribArray(1);
    emscripten_glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride,
                                     reinterpret_cast<void*>(offsetof(drawn_vertex, s)));
    emscripten_glEnableVertexAttribArray(2);
    emscripten_glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                                     reinterpret_cast<void*>(offsetof(drawn_vertex, rgba)));
}

void send_state()
{
    if (matrices_changed()) {
        emscripten_glUniformMatrix4fv(at.modelview, 1, GL_FALSE, modelview_matrix());
        emscripten_glUniformMatrix4fv(at.projection, 1, GL_FALSE, projection_matrix());
    }
    const texture_environment e = current_texture_environment();
    const int mode = texturing_on() ? e.mode : -1;
    if (mode != sent_mode) {
        emscripten_glUniform1i(at.texture_mode, mode);
        sent_mode = mode;
    }
    if (mode >= 0 && e.format != sent_format) {
        emscripten_glUniform1i(at.texture_format, e.format);
        sent_format = e.format;
    }
    const int border = e.border[0] + 2 * e.border[1];
    if (mode >= 0 && border != sent_border) {
        emscripten_glUniform2i(at.border, e.border[0], e.border[1]);
        sent_border = border;
    }
    if (mode == 3 && (e.colour[0] != sent_env[0] || e.colour[1] != sent_env[1] ||
                      e.colour[2] != sent_env[2] || e.colour[3] != sent_env[3])) {
        emscripten_glUniform4fv(at.env_colour, 1, e.colour);
        for (int k = 0; k < 4; ++k)
            sent_env[k] = e.colour[k];
    }
    if (fragment_state_changed()) {
        const fragment_state& f = current_fragment_state();
        emscripten_glUniform1i(at.alpha_func, static_cast<GLint>(f.alpha_func - GL_NEVER));
        emscripten_glUniform1f(at.alpha_ref, f.alpha_ref);
        emscripten_glUniform1i(at.fog_mode, f.fog_mode);
        const float fog[4] = {f.fog_start, f.fog_end, f.fog_density, 0};
        emscripten_glUniform4fv(at.fog, 1, fog);
        emscripten_glUniform4fv(at.fog_colour, 1, f.fog_colour);
        emscripten_glUniform1f(at.point_size, f.point_size);
    }
}

}  // namespace

void draw_vertices(GLenum mode, const drawn_vertex* vertices, int count)
{
    if (program == 0)
        set_up();
    send_state();
    emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * sizeof(drawn_vertex),
                            vertices, GL_STREAM_DRAW);
    emscripten_glDrawArrays(mode, 0, count);
}
