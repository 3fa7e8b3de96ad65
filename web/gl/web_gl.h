// What the browser's GL lacks for our programs, filled in by web/gl/: the
// fixed-function lighting, texture names and texture formats of desktop
// OpenGL 1.x, immediate mode drawn a primitive at a time, and the page's
// window and frame hook. The programs reach these through redirect_gl.h;
// the GLU subset keeps GLU's own names (glu.cpp).
#pragma once

#include <GL/gl.h>

// Lighting (lighting.cpp), computed per vertex by the fixed-function
// equation. The emulation's own lighting treats every light as directional,
// ignores colour material and throws on emission, so it is never switched on.
void web_enable(GLenum cap);
void web_disable(GLenum cap);
void web_light_fv(GLenum light, GLenum pname, const GLfloat* params);
void web_material_fv(GLenum face, GLenum pname, const GLfloat* params);
void web_material_i(GLenum face, GLenum pname, GLint param);
void web_color_material(GLenum face, GLenum mode);
void web_shade_model(GLenum mode);

// Immediate mode (immediate.cpp): a primitive's vertices are gathered from
// web_begin to web_end, which draws them with one call into the emulation.
void web_color_3fv(const GLfloat* v);
void web_color_4fv(const GLfloat* v);
// GLU's sphere sets its normals here; the programs set none of their own.
void web_normal_3f(GLfloat x, GLfloat y, GLfloat z);
void web_begin(GLenum mode);
void web_tex_coord_2f(GLfloat s, GLfloat t);
void web_vertex_3f(GLfloat x, GLfloat y, GLfloat z);
void web_end();

// Textures (textures.cpp): names the program picks itself (0 included),
// component counts as internal formats, and the environment mode given as
// a float.
void web_bind_texture(GLenum target, GLuint name);
void web_tex_image_2d(GLenum target, GLint level, GLint internal_format, GLsizei width,
                      GLsizei height, GLint border, GLenum format, GLenum type,
                      const void* pixels);
void web_tex_env_f(GLenum target, GLenum pname, GLfloat param);

// The window's size (page.cpp): the canvas shows at this many CSS pixels
// and draws at the screen's density.
void web_init_window_size(int width, int height);

// The end of a frame: counts it for the page and stops the program's loop
// after the number of frames the page's address asks for (?frames=N).
void web_swap_buffers();
