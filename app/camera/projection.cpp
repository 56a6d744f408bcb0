#include "app/camera/projection.h"

#include <cmath>

namespace tesselin {

namespace {

constexpr double DegreesToRadians = 3.14159265358979323846 / 180.0;

Matrix Identity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Matrix Frustum(double l, double r, double b, double t, double n, double f)
{
    Matrix m{};
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
    return m;
}

Matrix Ortho(double l, double r, double b, double t, double n, double f)
{
    Matrix m = Identity();
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    return m;
}

Matrix Translation(double x, double y, double z)
{
    Matrix m = Identity();
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return m;
}

} // namespace

std::optional<std::string> ProjectionProblem(const Projection &p)
{
    auto finite = [](double v) { return std::isfinite(v); };
    if (!finite(p.size) || !finite(p.near) || !finite(p.far) || !finite(p.distance))
        return "a projection number is not finite";
    if (p.ortho) {
        if (p.size <= 0)
            return "the orthographic half-height must be above 0";
        if (p.far == p.near)
            return "the near and far clipping distances must differ";
        return std::nullopt;
    }
    if (p.size <= 0 || p.size >= 180)
        return "the field of view must lie between 0 and 180 degrees";
    if (p.near <= 0)
        return "the near clipping distance must be above 0";
    if (p.far <= p.near)
        return "the far clipping distance must be beyond the near one";
    return std::nullopt;
}

Matrix EyeProjection(const Projection &p, double aspect, double separation, int eye)
{
    if (!(aspect > 0) || !std::isfinite(aspect))
        aspect = 1;
    double shift = eye * separation / 2; // the eye's x position
    if (p.ortho) {
        double halfWidth = aspect * p.size;
        Matrix projection = Ortho(-halfWidth, halfWidth, -p.size, p.size, p.near, p.far);
        // A point at depth z (from the origin) moves by -shift * z / distance:
        // none on the plane z = 0, opposite ways for the two eyes elsewhere.
        // In eye coordinates z = z_eye + distance.
        Matrix shear = Identity();
        if (eye != 0 && p.distance != 0) {
            shear[8] = -shift / p.distance;
            shear[12] = -shift;
        }
        return Multiply(projection, shear);
    }
    double halfHeight = p.near * std::tan(p.size * DegreesToRadians / 2);
    double halfWidth = aspect * halfHeight;
    // The window at the origin spans the same x range for both eyes; seen from
    // an eye at x = shift it is offset by -shift, scaled to the near plane.
    double offset = p.distance > 0 ? -shift * p.near / p.distance : 0;
    Matrix projection = Frustum(-halfWidth + offset, halfWidth + offset, -halfHeight, halfHeight, p.near, p.far);
    return Multiply(projection, Translation(-shift, 0, 0));
}

Matrix ViewMatrix(const Projection &p)
{
    return Translation(0, 0, -p.distance);
}

Matrix Multiply(const Matrix &a, const Matrix &b)
{
    Matrix m{};
    for (int column = 0; column < 4; column++)
        for (int row = 0; row < 4; row++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += a[k * 4 + row] * b[column * 4 + k];
            m[column * 4 + row] = sum;
        }
    return m;
}

std::array<double, 3> Transform(const Matrix &m, double x, double y, double z)
{
    double v[4] = {x, y, z, 1}, out[4] = {};
    for (int row = 0; row < 4; row++)
        for (int k = 0; k < 4; k++)
            out[row] += m[k * 4 + row] * v[k];
    return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
}

} // namespace tesselin
