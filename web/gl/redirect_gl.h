// Included ahead of every source of the programs in the web build (-include):
// sends the GL calls the browser's emulation gets wrong, or makes slow, to
// web/gl/, so the sources stay exactly those of the desktop build.
#pragma once

#include <GL/glut.h>

#include "web_gl.h"

#define glEnable web_enable
#define glDisable web_disable
#define glLightfv web_light_fv
#define glMaterialfv web_material_fv
#define glMateriali web_material_i
#define glColorMaterial web_color_material
#define glColor3fv web_color_3fv
#define glColor4fv web_color_4fv
#define glBegin web_begin
#define glTexCoord2f web_tex_coord_2f
#define glVertex3f web_vertex_3f
#define glEnd web_end
#define glShadeModel web_shade_model
#define glBindTexture web_bind_texture
#define glTexImage2D web_tex_image_2d
#define glTexEnvf web_tex_env_f
#define glutInitWindowSize web_init_window_size
#define glutSwapBuffers web_swap_buffers
