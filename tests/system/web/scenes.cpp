// Changed-template scenes: what a person changing one of our GLUT programs
// reaches for first, each scene a few lines of a display callback. The web
// check draws each with the desktop build (the scene named as the argument)
// and with the web build (?scene=NAME) and compares the first frames.
#include <GL/glut.h>

#include <cstdio>
#include <cstring>
#include <string>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
// clang-format off
EM_JS(void, scene_asked, (char* out, int size), {
    var match = /[?&]scene=([a-z_]+)/.exec(location.search);
    stringToUTF8(match ? match[1] : "", out, size);
});
// clang-format on
#endif

namespace {

// A texture made in the program: a checkerboard of `components` bytes a
// texel (RGB, RGBA, luminance or alpha) at any size, rows packed tight.
GLuint checker(GLenum format, int components, int width, int height)
{
    static unsigned char texels[64 * 64 * 4];
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < components; ++k)
                texels[(y * width + x) * components + k] =
                    static_cast<unsigned char>(((x + y) % 2 ? 230 : 40) - 60 * k * ((x / 2) % 2));
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, components, width, height, 0, format, GL_UNSIGNED_BYTE, texels);
    return name;
}

void quad(float x, float y, float size)
{
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(x, y);
    glTexCoord2f(1.9f, 0), glVertex2f(x + size, y);
    glTexCoord2f(1.9f, 1.9f), glVertex2f(x + size, y + size);
    glTexCoord2f(0, 1.9f), glVertex2f(x, y + size);
    glEnd();
}

void flat_view()
{
    glMatrixMode(GL_PROJECTION);
    gluOrtho2D(0, 8, 0, 6);
    glMatrixMode(GL_MODELVIEW);
}

void deep_view()
{
    glMatrixMode(GL_PROJECTION);
    gluPerspective(40, 4.0 / 3.0, 1, 100);
    glMatrixMode(GL_MODELVIEW);
    gluLookAt(0, 2, 12, 0, 0, 0, 0, 1, 0);
    glEnable(GL_DEPTH_TEST);
}

void primitives()
{
    flat_view();
    const GLenum modes[] = {GL_POINTS,    GL_LINES,          GL_LINE_STRIP, GL_LINE_LOOP,
                            GL_TRIANGLES, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUADS,
                            GL_QUAD_STRIP, GL_POLYGON};
    glPointSize(4);
    for (int i = 0; i < 10; ++i) {
        glShadeModel(i % 3 ? GL_SMOOTH : GL_FLAT);
        glPushMatrix();
        glTranslatef(0.3f + 1.5f * (i % 5), 0.5f + 3 * (i / 5), 0);
        glBegin(modes[i]);
        const float corners[6][2] = {{0, 0}, {1.2f, 0.1f}, {0.1f, 1.2f}, {1.1f, 1.3f}, {0.5f, 2.2f}, {1.3f, 2.0f}};
        for (int k = 0; k < 6; ++k) {
            glColor3ub(static_cast<GLubyte>(40 * k), static_cast<GLubyte>(255 - 40 * k), 128);
            glVertex2fv(corners[k]);
        }
        glEnd();
        glPopMatrix();
    }
}

void fragments()
{
    deep_view();
    // Coloured cube faces, culled with the other front face, and an alpha-tested triangle.
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glRotated(30, 1, 1, 0);
    glBegin(GL_QUADS);
    const float faces[6][4][3] = {
        {{-1, -1, 1}, {-1, 1, 1}, {1, 1, 1}, {1, -1, 1}},   {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}},
        {{-1, 1, -1}, {1, 1, -1}, {1, 1, 1}, {-1, 1, 1}},   {{-1, -1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, -1, -1}},
        {{1, -1, -1}, {1, -1, 1}, {1, 1, 1}, {1, 1, -1}},   {{-1, -1, -1}, {-1, 1, -1}, {-1, 1, 1}, {-1, -1, 1}}};
    for (int f = 0; f < 6; ++f)
        for (int k = 0; k < 4; ++k) {
            glColor3f(f % 2, (f / 2) % 2 ? 1.0f : 0.3f, k / 3.0f);
            glVertex3fv(faces[f][k]);
        }
    glEnd();
    glDisable(GL_CULL_FACE);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.4f);
    glBegin(GL_TRIANGLES);
    glColor4f(1, 1, 0, 0), glVertex3f(2, -2, 2);
    glColor4f(1, 0, 1, 1), glVertex3f(5, -2, 2);
    glColor4f(0, 1, 1, 1), glVertex3f(3.5f, 2, 2);
    glEnd();
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 100, 60);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE);
    glColor3f(1, 1, 1);
    glutSolidCube(10);
}

void blending()
{
    flat_view();
    const GLenum factors[] = {GL_ZERO, GL_ONE, GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR, GL_DST_COLOR,
                              GL_ONE_MINUS_DST_COLOR, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                              GL_DST_ALPHA, GL_ONE_MINUS_DST_ALPHA, GL_SRC_ALPHA_SATURATE};
    glEnable(GL_BLEND);
    for (int i = 0; i < 11; ++i) {
        glBlendFunc(GL_ONE, GL_ZERO);
        glColor4f(0.2f, 0.6f, 0.9f, 0.5f);
        quad(0.1f + (i % 6) * 1.3f, 0.5f + 3 * (i / 6), 1.2f);
        glBlendFunc(factors[i], factors[(i * 3 + 1) % 11 == 10 ? 1 : (i * 3 + 1) % 11]);
        glColor4f(0.9f, 0.5f, 0.1f, 0.6f);
        quad(0.5f + (i % 6) * 1.3f, 0.9f + 3 * (i / 6), 1.0f);
    }
}

void lights()
{
    deep_view();
    const GLfloat white[] = {1, 1, 1, 1}, red[] = {1, 0.2f, 0.2f, 1}, blue[] = {0.2f, 0.3f, 1, 1};
    const GLfloat sun[] = {1, 1, 1, 0}, lamp[] = {-3, 1, 3, 1}, spot[] = {3, 4, 2, 1};
    const GLfloat down[] = {-0.6f, -1, -0.4f}, dim[] = {0.05f, 0.05f, 0.1f, 1};
    glEnable(GL_LIGHTING);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, dim);
    glLightfv(GL_LIGHT0, GL_POSITION, sun);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, dim);
    glLightfv(GL_LIGHT1, GL_POSITION, lamp);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, red);
    glLightf(GL_LIGHT1, GL_LINEAR_ATTENUATION, 0.2f);
    glLightfv(GL_LIGHT2, GL_POSITION, spot);
    glLightfv(GL_LIGHT2, GL_DIFFUSE, blue);
    glLightfv(GL_LIGHT2, GL_SPECULAR, white);
    glLightfv(GL_LIGHT2, GL_SPOT_DIRECTION, down);
    glLightf(GL_LIGHT2, GL_SPOT_CUTOFF, 30);
    glLightf(GL_LIGHT2, GL_SPOT_EXPONENT, 4);
    for (GLenum l : {GL_LIGHT0, GL_LIGHT1, GL_LIGHT2})
        glEnable(l);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
    glMaterialf(GL_FRONT, GL_SHININESS, 30);
    glEnable(GL_NORMALIZE);
    for (int i = -1; i <= 1; ++i) {
        glPushMatrix();
        glTranslatef(3.2f * i, 0, 0);
        glScalef(1.5f, 1.5f, 1.5f);
        glutSolidSphere(1, 48, 32);
        glPopMatrix();
    }
}

void textures()
{
    flat_view();
    glEnable(GL_TEXTURE_2D);
    const GLfloat env[] = {0.9f, 0.2f, 0.1f, 1};
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, env);
    const GLuint made[4] = {checker(GL_RGB, 3, 7, 5), checker(GL_RGBA, 4, 8, 8),
                            checker(GL_LUMINANCE, 1, 5, 6), checker(GL_ALPHA, 1, 4, 4)};
    const GLint modes[4] = {GL_MODULATE, GL_REPLACE, GL_DECAL, GL_BLEND};
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (int t = 0; t < 4; ++t)
        for (int m = 0; m < 4; ++m) {
            if (t >= 2 && modes[m] == GL_DECAL)
                continue;  // undefined for these formats
            glBindTexture(GL_TEXTURE_2D, made[t]);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, modes[m]);
            glColor4f(0.3f + 0.2f * m, 0.8f, 0.4f, 0.7f);
            quad(0.2f + 2 * m, 0.2f + 1.5f * t, 1.3f);
        }
    glDeleteTextures(4, made);
}

void mipmaps()
{
    deep_view();
    static unsigned char texels[32 * 20 * 3];
    for (int i = 0; i < 32 * 20 * 3; ++i)
        texels[i] = static_cast<unsigned char>((i / 3 % 32 / 3 + i / 96 / 4) % 2 ? 255 : 20 * (i % 3));
    glBindTexture(GL_TEXTURE_2D, 7);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, 32, 20, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glEnable(GL_TEXTURE_2D);
    glRotatef(-70, 1, 0, 0);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex3f(-6, -8, 0);
    glTexCoord2f(1.5f, 0), glVertex3f(6, -8, 0);
    glTexCoord2f(1.5f, 4), glVertex3f(6, 8, 0);
    glTexCoord2f(0, 4), glVertex3f(-6, 8, 0);
    glEnd();
}

void fog()
{
    deep_view();
    const GLfloat grey[] = {0.5f, 0.5f, 0.6f, 1};
    glClearColor(0.5f, 0.5f, 0.6f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_FOG);
    glFogfv(GL_FOG_COLOR, grey);
    glFogf(GL_FOG_START, 8);
    glFogf(GL_FOG_END, 30);
    glFogf(GL_FOG_DENSITY, 0.08f);
    const GLint modes[3] = {GL_LINEAR, GL_EXP, GL_EXP2};
    for (int m = 0; m < 3; ++m) {
        glFogi(GL_FOG_MODE, modes[m]);
        for (int d = 0; d < 4; ++d) {
            glPushMatrix();
            glTranslatef(-3.0f + 3 * m, -1, -6.0f * d);
            glColor3f(0.9f, 0.3f * m, 0.2f);
            glutSolidCube(1.6);
            glPopMatrix();
        }
    }
}

void lists()
{
    deep_view();
    const GLuint base = glGenLists(2);
    glNewList(base, GL_COMPILE);
    glColor3f(0.9f, 0.7f, 0.1f);
    glutSolidTorus(0.3, 1, 16, 32);
    glTranslatef(2.5f, 0, 0);
    glEndList();
    glNewList(base + 1, GL_COMPILE_AND_EXECUTE);
    glRotatef(25, 1, 0, 0);
    glCallList(base);
    glColor3f(0.2f, 0.5f, 1);
    glutSolidCube(1);
    glEndList();
    glTranslatef(-5, -2, 0);
    glCallList(base + 1);
    glCallList(base + 1);
    glDeleteLists(base, 2);
    glCallList(base);  // deleted: draws nothing
}

void shapes()
{
    deep_view();
    const GLfloat lamp[] = {-4, 5, 8, 1};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, lamp);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_DIFFUSE);
    // Off the pixel grid: lines along a pixel's edge fall either side.
    glTranslatef(-4.43f, 1.53f, 0.1f);
    for (int wire = 0; wire < 2; ++wire) {
        glColor3f(0.8f, 0.4f + 0.4f * wire, 0.2f);
        glPushMatrix();
        glRotatef(15.0f + 25 * wire, 1, 0.5f, 0.3f * wire);
        wire ? glutWireSphere(1, 8, 4) : glutSolidSphere(1, 24, 16);
        glTranslatef(3, 0, 0);
        wire ? glutWireCube(1.6) : glutSolidCube(1.6);
        glTranslatef(3, 0, -0.8f);
        wire ? glutWireCone(1, 2, 6, 1) : glutSolidCone(1, 2, 24, 4);
        glTranslatef(3, 0, 0.8f);
        wire ? glutWireTorus(0.3, 0.8, 4, 8) : glutSolidTorus(0.3, 0.8, 16, 32);
        glPopMatrix();
        glTranslatef(0, -3, 0);
        glDisable(GL_LIGHTING);
    }
}

void quadrics()
{
    deep_view();
    GLUquadric* q = gluNewQuadric();
    const GLfloat lamp[] = {2, 5, 8, 1};
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_POSITION, lamp);
    checker(GL_RGB, 3, 16, 16);
    glEnable(GL_TEXTURE_2D);
    gluQuadricTexture(q, GL_TRUE);
    glRotatef(-60, 1, 0, 0);
    glTranslatef(-3.5f, 0, 0);
    gluCylinder(q, 1, 0.5, 2.5, 24, 3);
    glTranslatef(3.5f, 0, 0);
    gluDisk(q, 0.4, 1.5, 24, 3);
    glTranslatef(3.5f, 0, 1);
    gluQuadricOrientation(q, GLU_OUTSIDE);
    gluSphere(q, 1.3, 24, 16);
    gluDeleteQuadric(q);
}

void matrices()
{
    glMatrixMode(GL_PROJECTION);
    glFrustum(-1, 1, -0.75, 0.75, 2, 50);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    const GLdouble shear[16] = {1, 0, 0, 0, 0.4, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glTranslated(0, 0, -10);
    for (int i = 0; i < 4; ++i) {
        glPushMatrix();
        glRotated(40.0 * i, 0, 0, 1);
        glTranslatef(2.5f, 0, 0);
        if (i % 2)
            glMultMatrixd(shear);
        glScaled(1, 0.5 + 0.25 * i, 1);
        glColor3f(0.25f * i, 1 - 0.25f * i, 0.5f);
        glutSolidCube(1.5);
        glPopMatrix();
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-4, 4, -3, 3, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1, 1, 1);
    glBegin(GL_TRIANGLES);
    glVertex2d(-3.8, -2.8), glVertex2d(-2.8, -2.8), glVertex2d(-3.3, -2);
    glEnd();
}

struct scene {
    const char* name;
    void (*draw)();
    unsigned int more_mode;  // asked of glutInitDisplayMode besides RGB, double, depth
};

// One window has a stencil buffer too: a kind of window the page did not
// make ready.
const scene SCENES[] = {
    {"primitives", primitives, 0}, {"fragments", fragments, 0}, {"blending", blending, 0},
    {"lights", lights, 0},         {"textures", textures, 0},   {"mipmaps", mipmaps, 0},
    {"fog", fog, 0},               {"lists", lists, 0},         {"shapes", shapes, 0},
    {"quadrics", quadrics, 0},     {"matrices", matrices, GLUT_STENCIL}};

const scene* chosen = nullptr;

void display()
{
    glClearColor(0.1f, 0.1f, 0.15f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    chosen->draw();
    glFlush();
    glutSwapBuffers();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string name = argc > 1 ? argv[1] : "";
#ifdef __EMSCRIPTEN__
    char asked[32] = "";
    scene_asked(asked, sizeof asked);
    name = asked;
#endif
    for (const scene& s : SCENES)
        if (name == s.name)
            chosen = &s;
    if (!chosen) {
        std::fprintf(stderr, "scenes: no scene named \"%s\"\n", name.c_str());
        return 2;
    }
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH | chosen->more_mode);
    glutInitWindowSize(320, 240);
    glutCreateWindow("scene");
    glutDisplayFunc(display);
    glutMainLoop();
    return 0;
}
