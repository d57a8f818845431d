// The OpenGL entry points that the GL layer reaches through its table, in
// table order: X(result, name, parameters, arguments).
#pragma once

#include <GL/gl.h>

#define SGL_GL_ENTRIES(X)                                                                             \
    X(void, glAlphaFunc, (GLenum func, GLclampf ref), (func, ref))                                    \
    X(void, glBegin, (GLenum mode), (mode))                                                           \
    X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture))                        \
    X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))                        \
    X(void, glClear, (GLbitfield mask), (mask))                                                       \
    X(void, glClearColor, (GLclampf r, GLclampf g, GLclampf b, GLclampf a), (r, g, b, a))             \
    X(void, glClearDepth, (GLclampd depth), (depth))                                                  \
    X(void, glColor3f, (GLfloat r, GLfloat g, GLfloat b), (r, g, b))                                  \
    X(void, glColor3fv, (const GLfloat* v), (v))                                                      \
    X(void, glColor4f, (GLfloat r, GLfloat g, GLfloat b, GLfloat a), (r, g, b, a))                    \
    X(void, glColor4fv, (const GLfloat* v), (v))                                                      \
    X(void, glCullFace, (GLenum mode), (mode))                                                        \
    X(void, glDepthFunc, (GLenum func), (func))                                                       \
    X(void, glDisable, (GLenum cap), (cap))                                                           \
    X(void, glEnable, (GLenum cap), (cap))                                                            \
    X(void, glEnd, (), ())                                                                            \
    X(void, glFinish, (), ())                                                                         \
    X(void, glFrontFace, (GLenum mode), (mode))                                                       \
    X(void, glFrustum,                                                                                \
      (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar),  \
      (left, right, bottom, top, zNear, zFar))                                                        \
    X(GLenum, glGetError, (), ())                                                                     \
    X(void, glGetFloatv, (GLenum pname, GLfloat * params), (pname, params))                           \
    X(void, glGetIntegerv, (GLenum pname, GLint * params), (pname, params))                           \
    X(const GLubyte*, glGetString, (GLenum name), (name))                                             \
    X(void, glHint, (GLenum target, GLenum mode), (target, mode))                                     \
    X(GLboolean, glIsEnabled, (GLenum cap), (cap))                                                    \
    X(void, glLoadIdentity, (), ())                                                                   \
    X(void, glLoadMatrixf, (const GLfloat* m), (m))                                                   \
    X(void, glMatrixMode, (GLenum mode), (mode))                                                      \
    X(void, glMultMatrixf, (const GLfloat* m), (m))                                                   \
    X(void, glOrtho,                                                                                  \
      (GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar),  \
      (left, right, bottom, top, zNear, zFar))                                                        \
    X(void, glPixelStorei, (GLenum pname, GLint param), (pname, param))                               \
    X(void, glPolygonOffset, (GLfloat factor, GLfloat units), (factor, units))                        \
    X(void, glPopMatrix, (), ())                                                                      \
    X(void, glPushMatrix, (), ())                                                                     \
    X(void, glRotatef, (GLfloat angle, GLfloat x, GLfloat y, GLfloat z), (angle, x, y, z))            \
    X(void, glScalef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                                   \
    X(void, glShadeModel, (GLenum mode), (mode))                                                      \
    X(void, glTexCoord2f, (GLfloat s, GLfloat t), (s, t))                                             \
    X(void, glTexCoord2fv, (const GLfloat* v), (v))                                                   \
    X(void, glTexCoord3f, (GLfloat s, GLfloat t, GLfloat r), (s, t, r))                               \
    X(void, glTexCoord3fv, (const GLfloat* v), (v))                                                   \
    X(void, glTexEnvf, (GLenum target, GLenum pname, GLfloat param), (target, pname, param))          \
    X(void, glTexImage2D,                                                                             \
      (GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border, \
       GLenum format, GLenum type, const GLvoid* pixels),                                             \
      (target, level, internalformat, width, height, border, format, type, pixels))                   \
    X(void, glTexParameterf, (GLenum target, GLenum pname, GLfloat param), (target, pname, param))    \
    X(void, glTranslatef, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                               \
    X(void, glVertex2f, (GLfloat x, GLfloat y), (x, y))                                               \
    X(void, glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))                                 \
    X(void, glVertex3fv, (const GLfloat* v), (v))                                                     \
    X(void, glVertex4f, (GLfloat x, GLfloat y, GLfloat z, GLfloat w), (x, y, z, w))                   \
    X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))     \
    X(void, glCallList, (GLuint list), (list))                                                        \
    X(void, glFlush, (), ())                                                                          \
    X(void, glNewList, (GLuint list, GLenum mode), (list, mode))                                      \
    X(void, glPushName, (GLuint name), (name))                                                        \
    X(void, glColor3d, (GLdouble r, GLdouble g, GLdouble b), (r, g, b))                               \
    X(void, glVertex3d, (GLdouble x, GLdouble y, GLdouble z), (x, y, z))                              \
    X(void, glPopName, (), ())                                                                        \
    X(void, glEndList, (), ())                                                                        \
    X(void, glSelectBuffer, (GLsizei size, GLuint * buffer), (size, buffer))                          \
    X(GLint, glRenderMode, (GLenum mode), (mode))                                                     \
    X(void, glInitNames, (), ())                                                                      \
    X(void, glGetDoublev, (GLenum pname, GLdouble * params), (pname, params))                         \
    X(void, glMultMatrixd, (const GLdouble* m), (m))                                                  \
    X(void, glTranslated, (GLdouble x, GLdouble y, GLdouble z), (x, y, z))                            \
    X(void, glDeleteLists, (GLuint list, GLsizei range), (list, range))                               \
    X(GLuint, glGenLists, (GLsizei range), (range))                                                   \
    X(void, glPushAttrib, (GLbitfield mask), (mask))                                                  \
    X(void, glPopAttrib, (), ())                                                                      \
    X(void, glVertex2i, (GLint x, GLint y), (x, y))                                                   \
    X(void, glRectf, (GLfloat x1, GLfloat y1, GLfloat x2, GLfloat y2), (x1, y1, x2, y2))
