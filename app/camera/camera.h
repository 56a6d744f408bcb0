// Room camera/ (floor 1): view maths only: the host's camera, the
// projections of the two eyes and orbiting with the mouse. No OpenGL calls.
// May include process/ only.
//
// The host's own camera: where the person looking at a 3D canvas stands,
// turned round the origin. It is applied before anything the plug-in does, so
// with both angles 0 and no distance of its own a script renders exactly as
// the script set it up.
#ifndef TESSELIN_APP_CAMERA_CAMERA_H
#define TESSELIN_APP_CAMERA_CAMERA_H

#include "app/camera/projection.h"

#include <optional>
#include <string>
#include <string_view>

namespace tesselin {

struct Camera {
    // Degrees: azimuth turns the camera from +z towards +x, elevation raises
    // it towards +y; the camera keeps looking at the origin.
    double azimuth = 0, elevation = 0;
    // Overrides the distance the script gave its camera when set.
    std::optional<double> distance;
};

// The distance the camera sits at, the script's unless the camera has its own.
double CameraDistance(const Camera &camera, const Projection &projection);

// The modelview the plug-in starts from:
// translate(0, 0, -distance) . rotate(elevation, x) . rotate(-azimuth, y).
Matrix CameraView(const Camera &camera, const Projection &projection);

// "AZ,EL" in degrees (finite numbers), as --orbit takes them.
std::optional<Camera> ParseOrbit(std::string_view text, std::string &error);
// A camera distance above 0, as --distance takes it.
std::optional<double> ParseDistance(std::string_view text, std::string &error);

} // namespace tesselin

#endif
