// Reads the recorded OpenGL stream the way OpenGL would: every glBegin/glEnd
// pair becomes one primitive whose vertices carry the normal that was current
// when each was sent, so tests can speak of shapes instead of call lists.
#ifndef TESSELIN_GL_STREAM_H
#define TESSELIN_GL_STREAM_H

#include "tests/doubles/recording_gl.h"

#include <array>
#include <vector>

using Vec3 = std::array<double, 3>;

struct DrawnVertex {
    Vec3 position;
    Vec3 normal;
};

struct Primitive {
    double mode = 0;
    std::vector<DrawnVertex> vertices;
    // Normal calls made since the previous primitive ended, and inside this one.
    int normalsBefore = 0;
    int normalsInside = 0;
};

// Every primitive drawn since the last reset. The current normal starts as
// OpenGL's (0, 0, 1).
std::vector<Primitive> Primitives();

// The calls that shape geometry: glBegin, glEnd, glNormal*, glVertex*.
std::vector<GlCall> GeometryCalls();

// True when any argument of any recorded call is NaN or infinite.
bool AnyNonFinite();

double Dot(const Vec3 &a, const Vec3 &b);
double Length(const Vec3 &a);

#endif
