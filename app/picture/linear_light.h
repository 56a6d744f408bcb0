// sRGB-encoded 8-bit channel values to linear light and back, by tables.
#ifndef TESSELIN_APP_PICTURE_LINEAR_LIGHT_H
#define TESSELIN_APP_PICTURE_LINEAR_LIGHT_H

#include <cstdint>

namespace tesselin {

// The light a channel value stands for, 0 to 1.
float ToLinear(int value);
// The nearest channel value for an amount of light (clamped to 0..1); every
// value survives the round trip.
uint8_t ToSrgb(float linear);

} // namespace tesselin

#endif
