// Turning the camera with the mouse: a drag turns it about the origin as if
// the scene were grabbed and turned, the wheel moves it nearer and farther.
#ifndef TESSELIN_APP_CAMERA_ORBIT_H
#define TESSELIN_APP_CAMERA_ORBIT_H

#include "app/camera/camera.h"

#include <string>

namespace tesselin {

// How far a drag of one pixel turns the camera, in degrees.
inline constexpr double OrbitDegreesPerPixel = 0.5;
// How much nearer one notch of the wheel brings the camera.
inline constexpr double WheelFactor = 0.9;

// The camera after a drag of dx, dy pixels (right and down positive): the
// scene's front follows the mouse. Azimuth stays in (-180, 180], elevation
// in [-90, 90].
Camera Dragged(Camera camera, int dx, int dy);

// The camera after steps notches of the wheel (positive: away from the
// person, nearer the scene), starting from scriptDistance when the camera
// has no distance of its own; kept between a hundredth and a hundred times
// scriptDistance.
Camera Wheeled(Camera camera, int steps, double scriptDistance);

// The options of tesselin run that give this camera ("--orbit 30,-15" and
// "--distance 12" when it has one); empty for the script's own view.
std::string CameraOptions(const Camera &camera);

} // namespace tesselin

#endif
