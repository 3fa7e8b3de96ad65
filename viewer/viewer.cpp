#include "viewer.h"

#include <GL/glut.h>

Model model;
int32_t window_width = 640;
int32_t window_height = 480;
double spin_angle = 10.0;

void open_viewer_window()
{
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(window_width, window_height);
    glutInitWindowPosition(0, 0);
    // On Windows the GLUT header makes this __glutCreateWindowWithExit,
    // handing GLUT the C library's exit.
    glutCreateWindow("Szablon");
}

void set_up_viewer_gl()
{
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_TEXTURE_2D);
}

void viewer_reshape(int width, int height)
{
    window_width = width;
    window_height = height;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window shrunk to no height must not divide by zero.
    const float aspect = static_cast<float>(width) / static_cast<float>(height > 0 ? height : 1);
    gluPerspective(45.0, aspect, 10.0, 10000.0);
    glutPostRedisplay();
}

void viewer_display()
{
    viewer_frame(draw_model);
}

void viewer_frame(void (*draw)(const Model*))
{
    // Each fragment becomes source x source + destination x source. Depth
    // writes stay off while drawing, so the clear below reaches only colour.
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_COLOR, GL_SRC_COLOR);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -19.0f);
    spin_angle += 0.1;
    if (spin_angle > 359.0)
        spin_angle = 0.0;
    glRotatef(static_cast<GLfloat>(spin_angle), 0.0f, 1.0f, 0.0f);
    glRotatef(40.0f, 0.0f, 0.0f, 1.0f);
    glTranslatef(0.0f, 0.0f, -3.0f);
    draw(&model);
    glTranslatef(0.0f, 0.0f, 6.0f);
    draw(&model);

    glDepthMask(GL_TRUE);
    glFlush();
    glutSwapBuffers();
}

void draw_model(const Model* m)
{
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(m->texture_id));
    glBegin(GL_TRIANGLES);
    for (int32_t i = 0; i < m->face_count; ++i) {
        const int32_t corners[3] = {m->faces[i].a, m->faces[i].b, m->faces[i].c};
        for (int32_t idx : corners) {
            glTexCoord2f(m->texcoords[idx].u, m->texcoords[idx].v);
            glVertex3f(m->vertices[idx].x, m->vertices[idx].y, m->vertices[idx].z);
        }
    }
    glEnd();
}
