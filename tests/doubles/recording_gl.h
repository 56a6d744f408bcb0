// A recording stand-in for OpenGL and GLU. The plug-in's code is linked against
// it in the command tests: every call is kept, in order, with its arguments
// (floats exactly, as doubles), so a test can compare the stream it expects.
#ifndef TESSELIN_RECORDING_GL_H
#define TESSELIN_RECORDING_GL_H

#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

struct GlCall {
    std::string name;
    std::vector<double> args;
    bool operator==(const GlCall &other) const = default;
};

std::ostream &operator<<(std::ostream &out, const GlCall &call);

GlCall Call(const char *name, std::initializer_list<double> args = {});

namespace recording_gl {
// Every call since the last Reset, in order.
const std::vector<GlCall> &Calls();
// The calls whose name is one of names, in order.
std::vector<GlCall> CallsNamed(std::initializer_list<const char *> names);
void Reset();
// Numbers quadrics from 1 again and forgets the live ones (between tests).
void ResetQuadrics();
// With recording off only the number of calls is kept (for benchmarks).
void SetRecording(bool on);
long long CallCount();
// The id that gluNewQuadric gave the quadric it returned (1, 2, ...), 0 for none.
int QuadricId(const void *quadric);
int LiveQuadrics();
}

#endif
