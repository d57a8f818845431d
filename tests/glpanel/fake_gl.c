/* A stand-in OpenGL driver for the loader's tests: every entry point the
 * loader looks up is here and does nothing, except the ones a variant
 * leaves out on purpose. */

#define ENTRY(name)  \
    long name(void); \
    long name(void) { return 0; }

ENTRY(glAlphaFunc)
#ifndef FAKE_GL_WITHOUT_MAKECURRENT_AND_BEGIN
ENTRY(glBegin)
#endif
ENTRY(glBindTexture)
ENTRY(glBlendFunc)
ENTRY(glClear)
ENTRY(glClearColor)
ENTRY(glClearDepth)
ENTRY(glColor3f)
ENTRY(glColor3fv)
ENTRY(glColor4f)
ENTRY(glColor4fv)
ENTRY(glCullFace)
ENTRY(glDepthFunc)
ENTRY(glDisable)
ENTRY(glEnable)
ENTRY(glEnd)
ENTRY(glFinish)
ENTRY(glFrontFace)
#ifndef FAKE_GL_WITHOUT_FRUSTUM_AND_POPMATRIX
ENTRY(glFrustum)
#endif
ENTRY(glGetError)
ENTRY(glGetFloatv)
ENTRY(glGetIntegerv)
ENTRY(glGetString)
ENTRY(glHint)
ENTRY(glIsEnabled)
ENTRY(glLoadIdentity)
ENTRY(glLoadMatrixf)
ENTRY(glMatrixMode)
ENTRY(glMultMatrixf)
ENTRY(glOrtho)
ENTRY(glPixelStorei)
ENTRY(glPolygonOffset)
#ifndef FAKE_GL_WITHOUT_FRUSTUM_AND_POPMATRIX
ENTRY(glPopMatrix)
#endif
ENTRY(glPushMatrix)
ENTRY(glRotatef)
ENTRY(glScalef)
ENTRY(glShadeModel)
ENTRY(glTexCoord2f)
ENTRY(glTexCoord2fv)
ENTRY(glTexCoord3f)
ENTRY(glTexCoord3fv)
ENTRY(glTexEnvf)
ENTRY(glTexImage2D)
ENTRY(glTexParameterf)
ENTRY(glTranslatef)
ENTRY(glVertex2f)
ENTRY(glVertex3f)
ENTRY(glVertex3fv)
ENTRY(glVertex4f)
ENTRY(glViewport)
ENTRY(glCallList)
ENTRY(glFlush)
ENTRY(glNewList)
ENTRY(glPushName)
ENTRY(glColor3d)
ENTRY(glVertex3d)
ENTRY(glPopName)
ENTRY(glEndList)
ENTRY(glSelectBuffer)
ENTRY(glRenderMode)
ENTRY(glInitNames)
ENTRY(glGetDoublev)
ENTRY(glMultMatrixd)
ENTRY(glTranslated)
ENTRY(glDeleteLists)
ENTRY(glGenLists)
ENTRY(glPushAttrib)
ENTRY(glPopAttrib)
ENTRY(glVertex2i)
ENTRY(glRectf)

#ifdef FAKE_GL_FORWARD_GLX
/* The window-system entries of the system's GLX, so that contexts work. */
#include <dlfcn.h>

static void* glx(const char* name) {
    static void* library;
    if (!library) library = dlopen("libGL.so.1", RTLD_NOW | RTLD_LOCAL);
    return library ? dlsym(library, name) : 0;
}

void* glXCreateNewContext(void* display, void* config, int type, void* share, int direct);
void* glXCreateNewContext(void* display, void* config, int type, void* share, int direct) {
    void* (*real)(void*, void*, int, void*, int);
    *(void**)&real = glx("glXCreateNewContext");
    return real(display, config, type, share, direct);
}

void glXDestroyContext(void* display, void* context);
void glXDestroyContext(void* display, void* context) {
    void (*real)(void*, void*);
    *(void**)&real = glx("glXDestroyContext");
    real(display, context);
}

int glXMakeCurrent(void* display, unsigned long drawable, void* context);
int glXMakeCurrent(void* display, unsigned long drawable, void* context) {
    int (*real)(void*, unsigned long, void*);
    *(void**)&real = glx("glXMakeCurrent");
    return real(display, drawable, context);
}

void glXSwapBuffers(void* display, unsigned long drawable);
void glXSwapBuffers(void* display, unsigned long drawable) {
    void (*real)(void*, unsigned long);
    *(void**)&real = glx("glXSwapBuffers");
    real(display, drawable);
}
#else
/* The window-system entries: contexts are never created. */
ENTRY(glXCreateNewContext)
ENTRY(glXDestroyContext)
#ifndef FAKE_GL_WITHOUT_MAKECURRENT_AND_BEGIN
ENTRY(glXMakeCurrent)
#endif
ENTRY(glXSwapBuffers)
#endif
