// Six lit spheres in three rows of two, drawn with depth writes off and
// colour blending on, so every sphere shows through the ones in front of it.
// One source, built twice; the build defines SPHERES_ADD or SPHERES_ALPHA.

#include <GL/glut.h>

#include <cstdio>
#include <cstdlib>

// ---- What differs between the two builds, and nothing else -----------------
#if defined(SPHERES_ADD)
// Additive: source * source + destination, clamped.
static const GLenum blend_source = GL_SRC_COLOR;
static const GLenum blend_destination = GL_ONE;
// Three components only: glColor3fv leaves the current alpha at 1.0.
static const GLfloat row_colour[3][3] = {
    {0.2f, 1.0f, 0.2f},
    {1.0f, 0.2f, 0.2f},
    {0.1f, 0.2f, 1.0f},
};
static void set_row_colour(int row) { glColor3fv(row_colour[row]); }
#elif defined(SPHERES_ALPHA)
// Alpha: source * source alpha + destination * destination alpha.
static const GLenum blend_source = GL_SRC_ALPHA;
static const GLenum blend_destination = GL_DST_ALPHA;
static const GLfloat row_colour[3][4] = {
    {0.2f, 1.0f, 0.2f, 1.0f},
    {1.0f, 0.2f, 0.2f, 0.7f},
    {0.1f, 0.2f, 1.0f, 0.9f},
};
static void set_row_colour(int row) { glColor4fv(row_colour[row]); }
#else
#error "define SPHERES_ADD or SPHERES_ALPHA to choose the build"
#endif
// -----------------------------------------------------------------------------

static int window_width = 640;
static int window_height = 480;
static GLUquadric* sphere_quadric = nullptr;

static const GLfloat light_ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
static const GLfloat light_diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
// The green above 1.0 is deliberate: it gives the highlights their green cast.
static const GLfloat light_specular[4] = {0.4f, 1.4f, 0.4f, 1.0f};
// w = 1: a positional light, behind, above and left of the eye.
static const GLfloat light_position[4] = {-20.0f, 20.0f, 30.0f, 1.0f};

static const GLfloat material_specular[4] = {0.5f, 0.5f, 0.5f, 0.4f};
static const GLfloat material_ambient[4] = {0.6f, 0.6f, 0.6f, 0.4f};
static const GLfloat material_diffuse[4] = {0.6f, 0.6f, 0.6f, 0.4f};
static const GLfloat material_emission[4] = {0.0f, 0.0f, 0.0f, 0.4f};

static void draw_sphere() { gluSphere(sphere_quadric, 1.0, 50, 50); }

static void sphere_reshape(int width, int height)
{
    window_width = width;
    window_height = height;

    // Frames turn depth writes off for good, and a resize may have handed us a
    // new depth buffer full of zeros that would reject every sphere; let this
    // clear reach it, then give the frames their mask back.
    GLboolean depth_writes = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_writes);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthMask(depth_writes);

    glViewport(0, 0, window_width, window_height);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A minimised window may report height 0; treat it as 1 rather than divide by it.
    const int aspect_height = window_height > 0 ? window_height : 1;
    gluPerspective(45.0, static_cast<double>(window_width) / aspect_height, 1.0, 10000.0);

    glutPostRedisplay();
}

static void sphere_display()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);

    glMaterialfv(GL_FRONT, GL_SPECULAR, material_specular);
    glMaterialfv(GL_FRONT, GL_AMBIENT, material_ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material_diffuse);
    glMaterialfv(GL_FRONT, GL_EMISSION, material_emission);
    glMateriali(GL_FRONT, GL_SHININESS, 100);

    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBlendFunc(blend_source, blend_destination);

    // Nearest row, left to right.
    set_row_colour(0);
    glTranslatef(-2.0f, -1.5f, -7.0f);
    draw_sphere();
    glTranslatef(4.0f, 0.0f, 0.0f);
    draw_sphere();

    // Middle row, right to left.
    set_row_colour(1);
    glTranslatef(0.0f, 0.0f, -5.0f);
    draw_sphere();
    glTranslatef(-4.0f, 0.0f, 0.0f);
    draw_sphere();

    // Farthest row, left to right.
    set_row_colour(2);
    glTranslatef(0.0f, 0.0f, -5.0f);
    draw_sphere();
    glTranslatef(4.0f, 0.0f, 0.0f);
    draw_sphere();

    glDisable(GL_COLOR_MATERIAL);

    glFlush();
    glutSwapBuffers();
}

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(window_width, window_height);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("Szablon");

    glutDisplayFunc(sphere_display);
    glutReshapeFunc(sphere_reshape);

    glViewport(0, 0, window_width, window_height);
    glEnable(GL_DEPTH_TEST);

    sphere_quadric = gluNewQuadric();
    if (sphere_quadric == nullptr) {
        std::fprintf(stderr, "%s: gluNewQuadric gave no quadric; cannot draw the spheres\n", argv[0]);
        return EXIT_FAILURE;
    }
    gluQuadricOrientation(sphere_quadric, GLU_OUTSIDE);
    gluQuadricDrawStyle(sphere_quadric, GLU_FILL);

    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, light_ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, light_diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, light_specular);
    glLightfv(GL_LIGHT0, GL_POSITION, light_position);
    glEnable(GL_LIGHT0);

    glutMainLoop();
    return 0;
}
