#include "app/camera/orbit.h"

#include <algorithm>
#include <cmath>
#include <charconv>

namespace tesselin {

namespace {

double Wrapped(double degrees)
{
    double turned = std::fmod(degrees, 360.0);
    if (turned <= -180)
        turned += 360;
    else if (turned > 180)
        turned -= 360;
    return turned;
}

// The shortest text that reads back as exactly value, so that the options
// render exactly the view that was turned to.
std::string Short(double value)
{
    char text[32];
    auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

} // namespace

Camera Dragged(Camera camera, int dx, int dy)
{
    // The front moves right when the camera goes left (azimuth towards -x),
    // and down when it rises.
    camera.azimuth = Wrapped(camera.azimuth - dx * OrbitDegreesPerPixel);
    camera.elevation = std::clamp(camera.elevation + dy * OrbitDegreesPerPixel, -90.0, 90.0);
    return camera;
}

Camera Wheeled(Camera camera, int steps, double scriptDistance)
{
    if (!(scriptDistance > 0) || steps == 0)
        return camera;
    double from = camera.distance ? *camera.distance : scriptDistance;
    camera.distance = std::clamp(from * std::pow(WheelFactor, steps), scriptDistance / 100, scriptDistance * 100);
    return camera;
}

std::string CameraOptions(const Camera &camera)
{
    std::string options;
    if (camera.azimuth != 0 || camera.elevation != 0)
        options = "--orbit " + Short(camera.azimuth) + "," + Short(camera.elevation);
    if (camera.distance)
        options += (options.empty() ? "" : " ") + std::string("--distance ") + Short(*camera.distance);
    return options;
}

} // namespace tesselin
