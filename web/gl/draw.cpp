// What glEnd hands over, drawn by a small shader program for each
// combination of texture environment, alpha test and fog in use, made the
// first time it is needed (as sokol_gl and rlgl keep a few fixed programs):
// positions through the model-view and projection matrices, colours as
// immediate mode (and lighting) left them, then the texture environment,
// the alpha test and fog, in OpenGL 1.x's order. One program branching on
// uniforms took SwiftShader 1.7 times the plain WebGL draw for the viewer's
// frame. Uniforms are sent when their state or the program changed.
// Vertices go into one buffer, refilled per draw.
#include <cstdio>
#include <string>
#include <unordered_map>

#include "layer.h"
#include "webgl.h"

namespace {

const char* const VERTEX_SHADER = R"(
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

// TEXTURE_MODE: -1 off, else 0 modulate, 1 replace, 2 decal, 3 blend.
// TEXTURE_FORMAT: 0 RGBA, 1 RGB, 2 luminance, 3 alpha, 4 luminance-alpha.
// ALPHA_FUNC: OpenGL's function less GL_NEVER (7: always, no test).
// FOG_MODE: 0 off, 1 linear, 2 exp, 3 exp2.
const char* const FRAGMENT_SHADER = R"(
precision highp float;
uniform sampler2D image;
uniform vec4 env_colour;
uniform float alpha_ref;
uniform vec4 fog;  // start, end, density
uniform vec4 fog_colour;
in vec4 v_colour;
in vec2 v_texcoord;
in float v_eye_distance;
out vec4 fragment;
void main() {
    vec4 c = v_colour;
#if TEXTURE_MODE >= 0
    vec4 t;
#if BORDER_S || BORDER_T
    // GL_CLAMP: the filter's share of the border (black, clear) past the
    // outer texels' centres, at the level of detail of the unclamped
    // coordinates.
    vec2 size = vec2(textureSize(image, 0));
    vec2 border = vec2(BORDER_S, BORDER_T);
    vec2 clamped = mix(v_texcoord, clamp(v_texcoord, 0.0, 1.0), border);
    vec2 at = clamped * size;
    vec2 share = clamp(max(vec2(0.5) - at, at - (size - 0.5)), 0.0, 1.0) * border;
    t = textureGrad(image, clamped, dFdx(v_texcoord), dFdy(v_texcoord)) *
        (1.0 - share.x) * (1.0 - share.y);
#else
    t = texture(image, v_texcoord);
#endif
#define HAS_COLOUR (TEXTURE_FORMAT != 3)
#define HAS_ALPHA (TEXTURE_FORMAT == 0 || TEXTURE_FORMAT == 3 || TEXTURE_FORMAT == 4)
#if TEXTURE_MODE == 0
#if HAS_COLOUR
    c.rgb *= t.rgb;
#endif
#if HAS_ALPHA
    c.a *= t.a;
#endif
#elif TEXTURE_MODE == 1
#if HAS_COLOUR
    c.rgb = t.rgb;
#endif
#if HAS_ALPHA
    c.a = t.a;
#endif
#elif TEXTURE_MODE == 2
#if TEXTURE_FORMAT <= 1
    c.rgb = mix(c.rgb, t.rgb, t.a);
#endif
#else
#if HAS_COLOUR
    c.rgb = mix(c.rgb, env_colour.rgb, t.rgb);
#endif
#if HAS_ALPHA
    c.a *= t.a;
#endif
#endif
#endif
#if ALPHA_FUNC == 0
    discard;
#elif ALPHA_FUNC == 1
    if (!(c.a < alpha_ref)) discard;
#elif ALPHA_FUNC == 2
    if (!(c.a == alpha_ref)) discard;
#elif ALPHA_FUNC == 3
    if (!(c.a <= alpha_ref)) discard;
#elif ALPHA_FUNC == 4
    if (!(c.a > alpha_ref)) discard;
#elif ALPHA_FUNC == 5
    if (!(c.a != alpha_ref)) discard;
#elif ALPHA_FUNC == 6
    if (!(c.a >= alpha_ref)) discard;
#endif
#if FOG_MODE != 0
    float z = v_eye_distance;
#if FOG_MODE == 1
    float f = (fog.y - z) / (fog.y - fog.x);
#elif FOG_MODE == 2
    float f = exp(-fog.z * z);
#else
    float f = exp(-(fog.z * z) * (fog.z * z));
#endif
    c.rgb = mix(fog_colour.rgb, c.rgb, clamp(f, 0.0, 1.0));
#endif
    fragment = c;
}
)";

struct locations {
    GLint modelview, projection, point_size, env_colour, alpha_ref, fog, fog_colour;
};

struct shader_program {
    GLuint name;
    locations at;
};

std::unordered_map<int, shader_program> programs;
const shader_program* used = nullptr;
GLuint buffer = 0;
GLuint vertex_array = 0;

GLuint compile(GLenum type, const std::string& source)
{
    const GLuint shader = emscripten_glCreateShader(type);
    const char* text = source.c_str();
    emscripten_glShaderSource(shader, 1, &text, nullptr);
    emscripten_glCompileShader(shader);
    return shader;
}

const shader_program& program_for(int key, const std::string& defines)
{
    auto found = programs.find(key);
    if (found != programs.end())
        return found->second;
    const GLuint name = emscripten_glCreateProgram();
    emscripten_glAttachShader(name, compile(GL_VERTEX_SHADER, std::string("#version 300 es\n") + VERTEX_SHADER));
    emscripten_glAttachShader(name, compile(GL_FRAGMENT_SHADER, "#version 300 es\n" + defines + FRAGMENT_SHADER));
    emscripten_glBindAttribLocation(name, 0, "position");
    emscripten_glBindAttribLocation(name, 1, "texcoord");
    emscripten_glBindAttribLocation(name, 2, "colour");
    emscripten_glLinkProgram(name);
    GLint linked = 0;
    emscripten_glGetProgramiv(name, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[1024] = "";
        emscripten_glGetProgramInfoLog(name, sizeof log, nullptr, log);
        std::fprintf(stderr, "the GL layer's shaders: %s\n", log);
    }
    auto where = [name](const char* uniform) { return emscripten_glGetUniformLocation(name, uniform); };
    const locations at{where("modelview"), where("projection"), where("point_size"),
                       where("env_colour"), where("alpha_ref"), where("fog"), where("fog_colour")};
    return programs.emplace(key, shader_program{name, at}).first->second;
}

void set_up()
{
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
    const texture_environment e = current_texture_environment();
    const bool texturing = texturing_on();
    const fragment_state& f = current_fragment_state();
    const int mode = texturing ? e.mode : -1;
    const int format = texturing ? e.format : 0;
    const int border_s = texturing ? e.border[0] : 0, border_t = texturing ? e.border[1] : 0;
    const int alpha = static_cast<int>(f.alpha_func - GL_NEVER);
    const int key = ((((mode + 1) * 5 + format) * 4 + border_s * 2 + border_t) * 8 + alpha) * 4 +
                    f.fog_mode;
    const shader_program& p = program_for(
        key, "#define TEXTURE_MODE " + std::to_string(mode) + "\n#define TEXTURE_FORMAT " +
                 std::to_string(format) + "\n#define BORDER_S " + std::to_string(border_s) +
                 "\n#define BORDER_T " + std::to_string(border_t) + "\n#define ALPHA_FUNC " +
                 std::to_string(alpha) + "\n#define FOG_MODE " + std::to_string(f.fog_mode) + "\n");
    const bool switched = &p != used;
    if (switched) {
        emscripten_glUseProgram(p.name);
        used = &p;
    }
    const bool matrices = matrices_changed();
    const bool fragment = fragment_state_changed();
    if (switched || matrices) {
        emscripten_glUniformMatrix4fv(p.at.modelview, 1, GL_FALSE, modelview_matrix());
        emscripten_glUniformMatrix4fv(p.at.projection, 1, GL_FALSE, projection_matrix());
    }
    if (switched || fragment) {
        emscripten_glUniform1f(p.at.alpha_ref, f.alpha_ref);
        const float fog[4] = {f.fog_start, f.fog_end, f.fog_density, 0};
        emscripten_glUniform4fv(p.at.fog, 1, fog);
        emscripten_glUniform4fv(p.at.fog_colour, 1, f.fog_colour);
        emscripten_glUniform1f(p.at.point_size, f.point_size);
    }
    if (mode == 3)
        emscripten_glUniform4fv(p.at.env_colour, 1, e.colour);
}

}  // namespace

void draw_vertices(GLenum mode, const drawn_vertex* vertices, int count)
{
    if (vertex_array == 0)
        set_up();
    send_state();
    emscripten_glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * sizeof(drawn_vertex),
                            vertices, GL_STREAM_DRAW);
    emscripten_glDrawArrays(mode, 0, count);
}
