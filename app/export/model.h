// A 3D model as the plug-in drew it in one frame, in world coordinates (the
// script's own modelling transforms; the host's camera and orbit are not in
// it): what every export format is written from.
#ifndef TESSELIN_APP_EXPORT_MODEL_H
#define TESSELIN_APP_EXPORT_MODEL_H

#include "app/gl/frame_stream.h"

#include <array>
#include <compare>
#include <cstddef>
#include <optional>
#include <vector>

namespace tesselin {

using Vec3 = std::array<float, 3>;

// The look of a surface, line or dot. Colours are as the script gave them
// (display values, 0 to 1). Lines and dots are unlit, in the colour they
// glow with (emit) when they have one, else their own.
struct ModelMaterial {
    bool lit = false;    // drawn with lighting: colour is the diffuse colour
    Vec3 colour{1, 1, 1};
    Vec3 specular{0, 0, 0};
    Vec3 emission{0, 0, 0};
    float shininess = 0; // 0 to 128, the size of the highlight
    bool doubleSided = true; // both faces are drawn
    float pointSize = 1;     // pixels across a dot

    auto operator<=>(const ModelMaterial &) const = default;
};

enum class PrimitiveKind { Triangles, Lines, Points };

// Primitives of one kind and one material: three positions per triangle
// (wound counter-clockwise seen from its front) with a normal at each, two
// per line segment, one per dot.
struct ModelBatch {
    PrimitiveKind kind = PrimitiveKind::Triangles;
    std::size_t material = 0;
    std::vector<float> positions; // x y z per vertex
    std::vector<float> normals;   // x y z per vertex, unit length; triangles only
};

// The script's light: a directional light from direction (unit length, towards the light).
struct ModelLight {
    Vec3 direction{0, 0, 1};
    Vec3 colour{1, 1, 1};
    Vec3 ambient{0, 0, 0};
};

struct Bounds {
    Vec3 low{}, high{};
    bool empty = true;
    void Add(const float *p);
};

struct Model {
    std::vector<ModelMaterial> materials;
    std::vector<ModelBatch> batches;
    std::optional<EyeView> view; // the script's camera (the host's orbit left out)
    std::optional<ModelLight> light;
    Vec3 background{1, 1, 1}; // the colour the canvas was cleared to (display values)

    std::size_t Count(PrimitiveKind kind) const; // triangles, segments or dots
    Bounds Extent() const;
    bool Empty() const;
};

// A display colour channel (0 to 1) as linear light, as glTF wants its factors.
float LinearFromDisplay(float value);
// The roughness a highlight of this shininess (0 to 128) stands for.
float RoughnessFromShininess(float shininess);

} // namespace tesselin

#endif
