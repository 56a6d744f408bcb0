#include "app/camera/camera.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tesselin {

namespace {

constexpr double DegreesToRadians = 3.14159265358979323846 / 180.0;

// The rotation glRotate makes about a unit axis, column-major.
Matrix RotationX(double degrees)
{
    double c = std::cos(degrees * DegreesToRadians), s = std::sin(degrees * DegreesToRadians);
    return {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
}

Matrix RotationY(double degrees)
{
    double c = std::cos(degrees * DegreesToRadians), s = std::sin(degrees * DegreesToRadians);
    return {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
}

// A whole finite number taking all of text, or none.
std::optional<double> Number(std::string_view text)
{
    std::string copy(text);
    if (copy.empty() || std::isspace(static_cast<unsigned char>(copy[0])))
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

double CameraDistance(const Camera &camera, const Projection &projection)
{
    return camera.distance ? *camera.distance : projection.distance;
}

Matrix CameraView(const Camera &camera, const Projection &projection)
{
    Matrix back = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -CameraDistance(camera, projection), 1};
    // With both angles 0 the rotations are left out, so the matrix is exactly
    // the one the host loaded before it had a camera.
    if (camera.azimuth == 0 && camera.elevation == 0)
        return back;
    return Multiply(back, Multiply(RotationX(camera.elevation), RotationY(-camera.azimuth)));
}

std::optional<Camera> ParseOrbit(std::string_view text, std::string &error)
{
    auto comma = text.find(',');
    std::optional<double> azimuth, elevation;
    if (comma != std::string_view::npos) {
        azimuth = Number(text.substr(0, comma));
        elevation = Number(text.substr(comma + 1));
    }
    if (!azimuth || !elevation) {
        error = "--orbit takes two angles in degrees, AZIMUTH,ELEVATION (e.g. --orbit 30,15), not " +
                std::string(text);
        return std::nullopt;
    }
    Camera camera;
    camera.azimuth = *azimuth;
    camera.elevation = *elevation;
    return camera;
}

std::optional<double> ParseDistance(std::string_view text, std::string &error)
{
    auto distance = Number(text);
    if (!distance || *distance <= 0) {
        error = "--distance takes a distance above 0, not " + std::string(text);
        return std::nullopt;
    }
    return distance;
}

} // namespace tesselin
