#include "app/export/model.h"

#include <algorithm>
#include <cmath>

namespace tesselin {

void Bounds::Add(const float *p)
{
    for (int i = 0; i < 3; i++) {
        low[i] = empty ? p[i] : std::min(low[i], p[i]);
        high[i] = empty ? p[i] : std::max(high[i], p[i]);
    }
    empty = false;
}

std::size_t Model::Count(PrimitiveKind kind) const
{
    std::size_t perPrimitive = kind == PrimitiveKind::Triangles ? 9 : kind == PrimitiveKind::Lines ? 6 : 3;
    std::size_t count = 0;
    for (const ModelBatch &batch : batches)
        if (batch.kind == kind)
            count += batch.positions.size() / perPrimitive;
    return count;
}

Bounds Model::Extent() const
{
    Bounds bounds;
    for (const ModelBatch &batch : batches)
        for (std::size_t i = 0; i + 2 < batch.positions.size(); i += 3)
            bounds.Add(&batch.positions[i]);
    return bounds;
}

bool Model::Empty() const
{
    return std::all_of(batches.begin(), batches.end(), [](const ModelBatch &b) { return b.positions.empty(); });
}

float LinearFromDisplay(float value)
{
    double v = std::clamp(double(value), 0.0, 1.0);
    return float(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
}

float RoughnessFromShininess(float shininess)
{
    // The usual match of a Blinn-Phong exponent to a microfacet roughness.
    double s = std::clamp(double(shininess), 0.0, 128.0);
    return float(std::sqrt(2.0 / (s + 2.0)));
}

} // namespace tesselin
