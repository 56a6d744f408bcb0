#include "tests/doubles/gl_stream.h"

#include <cmath>

std::vector<Primitive> Primitives()
{
    std::vector<Primitive> primitives;
    Vec3 normal{0, 0, 1};
    int normalsOutside = 0;
    bool open = false;
    for (const GlCall &call : recording_gl::Calls()) {
        if (call.name == "glBegin") {
            primitives.push_back(Primitive{call.args[0], {}, normalsOutside, 0});
            normalsOutside = 0;
            open = true;
        } else if (call.name == "glEnd") {
            open = false;
        } else if (call.name == "glNormal3fv" || call.name == "glNormal3f") {
            normal = {call.args[0], call.args[1], call.args[2]};
            (open ? primitives.back().normalsInside : normalsOutside)++;
        } else if (open && (call.name == "glVertex3fv" || call.name == "glVertex3f")) {
            primitives.back().vertices.push_back({{call.args[0], call.args[1], call.args[2]}, normal});
        }
    }
    return primitives;
}

std::vector<GlCall> GeometryCalls()
{
    return recording_gl::CallsNamed({"glBegin", "glEnd", "glNormal3fv", "glNormal3f", "glVertex3fv", "glVertex3f"});
}

bool AnyNonFinite()
{
    for (const GlCall &call : recording_gl::Calls())
        for (double value : call.args)
            if (!std::isfinite(value))
                return true;
    return false;
}

double Dot(const Vec3 &a, const Vec3 &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double Length(const Vec3 &a)
{
    return std::sqrt(Dot(a, a));
}
