#include "tests/doubles/recording_gl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <iomanip>
#include <set>

namespace {
std::vector<GlCall> calls;
bool recording = true;
long long callCount = 0;
// Fake quadric handles: addresses inside this block, never dereferenced.
char quadricBlock[4096];
int nextQuadric = 1;
std::set<int> liveQuadrics;

void Record(const char *name, std::initializer_list<double> args)
{
    callCount++;
    if (recording)
        calls.push_back(GlCall{name, std::vector<double>(args)});
}

double Id(const GLUquadric *quadric)
{
    return recording_gl::QuadricId(quadric);
}
}

std::ostream &operator<<(std::ostream &out, const GlCall &call)
{
    out << call.name << "(";
    for (size_t i = 0; i < call.args.size(); i++)
        out << (i ? ", " : "") << std::setprecision(9) << call.args[i];
    return out << ")";
}

GlCall Call(const char *name, std::initializer_list<double> args)
{
    return GlCall{name, std::vector<double>(args)};
}

namespace recording_gl {
const std::vector<GlCall> &Calls() { return calls; }

std::vector<GlCall> CallsNamed(std::initializer_list<const char *> names)
{
    std::vector<GlCall> picked;
    for (const GlCall &call : calls)
        for (const char *name : names)
            if (call.name == name)
                picked.push_back(call);
    return picked;
}

void Reset()
{
    calls.clear();
    callCount = 0;
}

void ResetQuadrics()
{
    nextQuadric = 1;
    liveQuadrics.clear();
}

void SetRecording(bool on) { recording = on; }
long long CallCount() { return callCount; }

int QuadricId(const void *quadric)
{
    const char *p = static_cast<const char *>(quadric);
    if (p < quadricBlock || p >= quadricBlock + sizeof quadricBlock)
        return 0;
    return static_cast<int>(p - quadricBlock);
}

int LiveQuadrics() { return static_cast<int>(liveQuadrics.size()); }
}

extern "C" {
void glBegin(GLenum mode) { Record("glBegin", {double(mode)}); }
void glEnd(void) { Record("glEnd", {}); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { Record("glVertex3f", {x, y, z}); }
void glVertex3fv(const GLfloat *v) { Record("glVertex3fv", {v[0], v[1], v[2]}); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { Record("glNormal3f", {x, y, z}); }
void glNormal3fv(const GLfloat *v) { Record("glNormal3fv", {v[0], v[1], v[2]}); }
void glEnable(GLenum cap) { Record("glEnable", {double(cap)}); }
void glDisable(GLenum cap) { Record("glDisable", {double(cap)}); }
void glLightfv(GLenum light, GLenum name, const GLfloat *v)
{
    Record("glLightfv", {double(light), double(name), v[0], v[1], v[2], v[3]});
}
void glMaterialfv(GLenum face, GLenum name, const GLfloat *v)
{
    if (name == GL_SHININESS)
        Record("glMaterialfv", {double(face), double(name), v[0]});
    else
        Record("glMaterialfv", {double(face), double(name), v[0], v[1], v[2], v[3]});
}
void glMateriali(GLenum face, GLenum name, GLint value) { Record("glMateriali", {double(face), double(name), double(value)}); }
void glColor4fv(const GLfloat *v) { Record("glColor4fv", {v[0], v[1], v[2], v[3]}); }
void glClear(GLbitfield mask) { Record("glClear", {double(mask)}); }
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { Record("glClearColor", {r, g, b, a}); }
void glPushMatrix(void) { Record("glPushMatrix", {}); }
void glPopMatrix(void) { Record("glPopMatrix", {}); }
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) { Record("glRotatef", {angle, x, y, z}); }
void glScalef(GLfloat x, GLfloat y, GLfloat z) { Record("glScalef", {x, y, z}); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { Record("glTranslatef", {x, y, z}); }
void glPolygonMode(GLenum face, GLenum mode) { Record("glPolygonMode", {double(face), double(mode)}); }
void glLineWidth(GLfloat width) { Record("glLineWidth", {width}); }
void glPointSize(GLfloat size) { Record("glPointSize", {size}); }
void glShadeModel(GLenum mode) { Record("glShadeModel", {double(mode)}); }

GLUquadric *gluNewQuadric(void)
{
    // Ids wrap within the block; 0 stands for none and is never given.
    int id;
    do
        id = nextQuadric++ % (int)sizeof quadricBlock;
    while (id == 0);
    liveQuadrics.insert(id);
    Record("gluNewQuadric", {double(id)});
    return reinterpret_cast<GLUquadric *>(quadricBlock + id);
}
void gluDeleteQuadric(GLUquadric *q)
{
    liveQuadrics.erase(recording_gl::QuadricId(q));
    Record("gluDeleteQuadric", {Id(q)});
}
void gluQuadricNormals(GLUquadric *q, GLenum normals) { Record("gluQuadricNormals", {Id(q), double(normals)}); }
void gluQuadricDrawStyle(GLUquadric *q, GLenum style) { Record("gluQuadricDrawStyle", {Id(q), double(style)}); }
void gluQuadricOrientation(GLUquadric *q, GLenum orientation) { Record("gluQuadricOrientation", {Id(q), double(orientation)}); }
void gluSphere(GLUquadric *q, GLdouble radius, GLint slices, GLint stacks)
{
    Record("gluSphere", {Id(q), radius, double(slices), double(stacks)});
}
void gluPartialDisk(GLUquadric *q, GLdouble inner, GLdouble outer, GLint slices, GLint loops, GLdouble start, GLdouble sweep)
{
    Record("gluPartialDisk", {Id(q), inner, outer, double(slices), double(loops), start, sweep});
}
}
