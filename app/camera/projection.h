// The camera of a 3D canvas: projection and view matrices for one eye.
// Matrices are column-major, as OpenGL loads them.
#ifndef TESSELIN_APP_CAMERA_PROJECTION_H
#define TESSELIN_APP_CAMERA_PROJECTION_H

#include <array>
#include <optional>
#include <string>

namespace tesselin {

using Matrix = std::array<double, 16>;

// What SetProjection hands over. Perspective: size is the vertical field of
// view in degrees. Orthographic: size is half the visible height at the
// origin. near and far are clipping distances from the camera, which sits at
// distance on the +z axis looking at the origin with +y up.
struct Projection {
    bool ortho = false;
    double size = 30, near = 1, far = 100, distance = 10;
};

// Why these numbers make no view, or none when they do.
std::optional<std::string> ProjectionProblem(const Projection &projection);

// The projection of one eye: eye -1 left, +1 right, 0 the single camera.
// The eyes sit separation apart at (eye * separation / 2, 0, distance); their
// frustums are off-axis so that the plane z = 0 has no parallax, and the
// eye's own offset is part of this matrix, so both eyes share one modelview
// (and so one lighting). aspect is the viewport's width over its height.
Matrix EyeProjection(const Projection &projection, double aspect, double separation, int eye);

// The modelview the plug-in starts from: the camera moved back by distance.
Matrix ViewMatrix(const Projection &projection);

// Where matrix m takes point (x, y, z, 1), after the perspective divide.
std::array<double, 3> Transform(const Matrix &m, double x, double y, double z);
Matrix Multiply(const Matrix &a, const Matrix &b);

} // namespace tesselin

#endif
