// GLUT's solids and wireframes: sphere, cube, cone and torus, with the
// vertices and normals freeglut gives them, drawn through immediate mode so
// that lighting, colour and display lists take them as any other geometry.
// Faces wind counterclockwise seen from outside; bands are triangle strips,
// as freeglut draws them, so that colours blend across the same diagonals.
#include <GL/glut.h>

#include <cmath>
#include <vector>

#include "layer.h"

circle make_circle(int n, bool half)
{
    circle c;
    const double step = (half ? M_PI : 2 * M_PI) / n;
    for (int i = 0; i <= n; ++i) {
        c.sin.push_back(static_cast<float>(std::sin(step * i)));
        c.cos.push_back(static_cast<float>(std::cos(step * i)));
    }
    if (!half) {
        c.sin[n] = c.sin[0];
        c.cos[n] = c.cos[0];
    }
    return c;
}

namespace {

void sphere(double radius, int slices, int stacks, bool wire)
{
    if (slices < 1 || stacks < 1)
        return;
    const circle around = make_circle(slices, false), down = make_circle(stacks, true);
    const float r = static_cast<float>(radius);
    auto point = [&](int i, int j) {
        const float x = around.cos[j] * down.sin[i], y = around.sin[j] * down.sin[i],
                    z = down.cos[i];
        glNormal3f(x, y, z);
        glVertex3f(x * r, y * r, z * r);
    };
    if (wire) {
        for (int i = 1; i < stacks; ++i) {
            glBegin(GL_LINE_LOOP);
            for (int j = 0; j < slices; ++j)
                point(i, j);
            glEnd();
        }
        for (int j = 0; j < slices; ++j) {
            glBegin(GL_LINE_STRIP);
            for (int i = 0; i <= stacks; ++i)
                point(i, j);
            glEnd();
        }
        return;
    }
    for (int i = 0; i < stacks; ++i) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= slices; ++j) {
            point(i, j);
            point(i + 1, j);
        }
        glEnd();
    }
}

void cone(double base, double height, int slices, int stacks, bool wire)
{
    if (slices < 1 || stacks < 1)
        return;
    const circle around = make_circle(slices, false);
    const double side = std::sqrt(height * height + base * base);
    const float cos_n = static_cast<float>(height / side), sin_n = static_cast<float>(base / side);
    auto ring_radius = [&](int i) { return static_cast<float>(base * (stacks - i) / stacks); };
    auto ring_z = [&](int i) { return static_cast<float>(height * i / stacks); };
    auto side_point = [&](int i, int j) {
        glNormal3f(around.cos[j] * cos_n, around.sin[j] * cos_n, sin_n);
        glVertex3f(around.cos[j] * ring_radius(i), around.sin[j] * ring_radius(i), ring_z(i));
    };
    if (wire) {
        for (int i = 0; i < stacks; ++i) {
            glBegin(GL_LINE_LOOP);
            for (int j = 0; j < slices; ++j)
                side_point(i, j);
            glEnd();
        }
        glBegin(GL_LINES);
        for (int j = 0; j < slices; ++j) {
            side_point(0, j);
            side_point(stacks, j);
        }
        glEnd();
        return;
    }
    // The base faces -z.
    glBegin(GL_TRIANGLE_FAN);
    glNormal3f(0, 0, -1);
    glVertex3f(0, 0, 0);
    for (int j = slices; j >= 0; --j)
        glVertex3f(around.cos[j] * ring_radius(0), around.sin[j] * ring_radius(0), 0);
    glEnd();
    for (int i = 0; i < stacks; ++i) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= slices; ++j) {
            side_point(i + 1, j);
            side_point(i, j);
        }
        glEnd();
    }
}

void torus(double inner, double outer, int sides, int rings, bool wire)
{
    if (sides < 1 || rings < 1)
        return;
    const circle ring = make_circle(rings, false), tube = make_circle(sides, false);
    auto point = [&](int j, int i) {
        const float nx = ring.cos[j] * tube.cos[i], ny = ring.sin[j] * tube.cos[i], nz = tube.sin[i];
        glNormal3f(nx, ny, nz);
        const float reach = static_cast<float>(outer + tube.cos[i] * inner);
        glVertex3f(ring.cos[j] * reach, ring.sin[j] * reach, tube.sin[i] * static_cast<float>(inner));
    };
    if (wire) {
        for (int j = 0; j < rings; ++j) {
            glBegin(GL_LINE_LOOP);
            for (int i = 0; i < sides; ++i)
                point(j, i);
            glEnd();
        }
        for (int i = 0; i < sides; ++i) {
            glBegin(GL_LINE_LOOP);
            for (int j = 0; j < rings; ++j)
                point(j, i);
            glEnd();
        }
        return;
    }
    for (int j = 0; j < rings; ++j) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int i = 0; i <= sides; ++i) {
            point(j, i);
            point(j + 1, i);
        }
        glEnd();
    }
}

void cube(double size, bool wire)
{
    static const float corners[8][3] = {{.5f, .5f, .5f},   {-.5f, .5f, .5f}, {-.5f, -.5f, .5f},
                                        {.5f, -.5f, .5f},  {.5f, -.5f, -.5f}, {.5f, .5f, -.5f},
                                        {-.5f, .5f, -.5f}, {-.5f, -.5f, -.5f}};
    static const float normals[6][3] = {{0, 0, 1},  {1, 0, 0},  {0, 1, 0},
                                        {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    static const int faces[6][4] = {{0, 1, 2, 3}, {0, 3, 4, 5}, {0, 5, 6, 1},
                                    {1, 6, 7, 2}, {7, 4, 3, 2}, {4, 7, 6, 5}};
    const float s = static_cast<float>(size);
    auto corner = [&](int k) { glVertex3f(corners[k][0] * s, corners[k][1] * s, corners[k][2] * s); };
    for (int f = 0; f < 6; ++f) {
        glNormal3fv(normals[f]);
        if (wire) {
            glBegin(GL_LINE_LOOP);
            for (int k : faces[f])
                corner(k);
            glEnd();
            continue;
        }
        // Split as freeglut splits a face: 0 1 2, 0 2 3.
        glBegin(GL_TRIANGLES);
        for (int k : {0, 1, 2, 0, 2, 3})
            corner(faces[f][k]);
        glEnd();
    }
}

}  // namespace

void glutSolidSphere(GLdouble radius, GLint slices, GLint stacks)
{
    sphere(radius, slices, stacks, false);
}

void glutWireSphere(GLdouble radius, GLint slices, GLint stacks)
{
    sphere(radius, slices, stacks, true);
}

void glutSolidCube(GLdouble size)
{
    cube(size, false);
}

void glutWireCube(GLdouble size)
{
    cube(size, true);
}

void glutSolidCone(GLdouble base, GLdouble height, GLint slices, GLint stacks)
{
    cone(base, height, slices, stacks, false);
}

void glutWireCone(GLdouble base, GLdouble height, GLint slices, GLint stacks)
{
    cone(base, height, slices, stacks, true);
}

void glutSolidTorus(GLdouble inner, GLdouble outer, GLint sides, GLint rings)
{
    torus(inner, outer, sides, rings, false);
}

void glutWireTorus(GLdouble inner, GLdouble outer, GLint sides, GLint rings)
{
    torus(inner, outer, sides, rings, true);
}
