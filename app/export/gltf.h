// The model as glTF 2.0: a binary .glb, or a .gltf whose buffer is inside its
// JSON as base64. One node holds the mesh, with a primitive per material and
// kind (TRIANGLES with POSITION and NORMAL, LINES, POINTS); the script's
// camera is a camera node and its light a KHR_lights_punctual light. One
// script unit is one metre, glTF's unit.
#ifndef TESSELIN_APP_EXPORT_GLTF_H
#define TESSELIN_APP_EXPORT_GLTF_H

#include "app/export/model.h"

#include <cstddef>
#include <functional>
#include <string>

namespace tesselin {

// Takes the next bytes of a file; false when they cannot be written.
using ByteSink = std::function<bool(const void *data, std::size_t size)>;

// Writes the model as a .glb to sink; title names the scene.
bool WriteGlb(const Model &model, const std::string &title, const ByteSink &sink);
// The .glb's bytes, for embedding.
std::string GlbBytes(const Model &model, const std::string &title);
// The model as .gltf text with the buffer embedded.
std::string GltfText(const Model &model, const std::string &title);

std::string Base64(const std::string &bytes);

} // namespace tesselin

#endif
