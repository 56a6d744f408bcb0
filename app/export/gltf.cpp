#include "app/export/gltf.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace tesselin {

namespace {

using nlohmann::json;

constexpr int ArrayBuffer = 34962; // bufferView target of vertex attributes
constexpr int FloatComponent = 5126;

// A stretch of the binary buffer: one vertex attribute of one batch.
struct Block {
    const std::vector<float> *values;
    std::size_t offset; // bytes from the buffer's start
};

// The binary buffer's layout and the JSON that describes it.
struct Layout {
    json document;
    std::vector<Block> blocks;
    std::size_t bufferBytes = 0;
};

json Vector(const Vec3 &v) { return json::array({v[0], v[1], v[2]}); }

json MaterialJson(const ModelMaterial &m, std::size_t index)
{
    json pbr = {{"baseColorFactor", {LinearFromDisplay(m.colour[0]), LinearFromDisplay(m.colour[1]),
                                     LinearFromDisplay(m.colour[2]), 1.0}},
                {"metallicFactor", 0.0},
                {"roughnessFactor", m.lit ? RoughnessFromShininess(m.shininess) : 1.0f}};
    json material = {{"name", "material " + std::to_string(index + 1)}, {"pbrMetallicRoughness", pbr}};
    if (m.emission != Vec3{0, 0, 0})
        material["emissiveFactor"] = {LinearFromDisplay(m.emission[0]), LinearFromDisplay(m.emission[1]),
                                      LinearFromDisplay(m.emission[2])};
    if (m.doubleSided)
        material["doubleSided"] = true;
    if (!m.lit)
        material["extensions"] = {{"KHR_materials_unlit", json::object()}};
    if (m.pointSize != 1) // glTF has no size of dots; viewers that want it find it here
        material["extras"] = {{"pointSize", m.pointSize}};
    return material;
}

// An accessor over values (three floats per element) in its own buffer view.
std::size_t AddAttribute(Layout &layout, const std::vector<float> &values, bool bounds)
{
    json &doc = layout.document;
    std::size_t view = doc["bufferViews"].size(), bytes = values.size() * sizeof(float);
    doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", layout.bufferBytes}, {"byteLength", bytes},
                                  {"target", ArrayBuffer}});
    layout.blocks.push_back({&values, layout.bufferBytes});
    layout.bufferBytes += bytes; // a multiple of 4: floats only
    json accessor = {{"bufferView", view}, {"componentType", FloatComponent}, {"count", values.size() / 3},
                     {"type", "VEC3"}};
    if (bounds) {
        Bounds b;
        for (std::size_t i = 0; i + 2 < values.size(); i += 3)
            b.Add(&values[i]);
        accessor["min"] = Vector(b.low);
        accessor["max"] = Vector(b.high);
    }
    doc["accessors"].push_back(accessor);
    return doc["accessors"].size() - 1;
}

json CameraJson(const EyeView &view)
{
    const Projection &p = view.projection;
    double width = double(view.viewport.right) - view.viewport.left;
    double height = double(view.viewport.bottom) - view.viewport.top;
    double aspect = width > 0 && height > 0 ? width / height : 1.0;
    if (p.ortho)
        return {{"type", "orthographic"},
                {"orthographic", {{"xmag", p.size * aspect}, {"ymag", p.size}, {"znear", p.near}, {"zfar", p.far}}}};
    return {{"type", "perspective"},
            {"perspective", {{"yfov", p.size * M_PI / 180}, {"aspectRatio", aspect}, {"znear", p.near},
                             {"zfar", p.far}}}};
}

// The rotation that turns a node's -z (where a glTF light shines) to shine
// away from direction, towards the scene.
json LightRotation(const Vec3 &d)
{
    // The shortest turn of +z onto d: axis z x d, half the angle.
    double x = -d[1], y = d[0], z = 0, w = 1 + d[2];
    if (w < 1e-9)
        return {1.0, 0.0, 0.0, 0.0}; // d is -z: half a turn round x
    double length = std::sqrt(x * x + y * y + z * z + w * w);
    return {x / length, y / length, z / length, w / length};
}

void AddCameraAndLight(json &doc, const Model &model)
{
    if (model.view) {
        doc["cameras"] = json::array({CameraJson(*model.view)});
        double distance = model.view->projection.distance;
        doc["nodes"].push_back({{"name", "camera"}, {"camera", 0}, {"translation", {0.0, 0.0, distance}}});
    }
    if (model.light) {
        const ModelLight &l = *model.light;
        doc["extensionsUsed"].push_back("KHR_lights_punctual");
        doc["extensions"]["KHR_lights_punctual"]["lights"] = json::array(
            {{{"name", "light"}, {"type", "directional"}, {"color", Vector(l.colour)}, {"intensity", 1.0}}});
        doc["nodes"].push_back({{"name", "light"}, {"rotation", LightRotation(l.direction)},
                                {"extensions", {{"KHR_lights_punctual", {{"light", 0}}}}}});
        // glTF has no ambient light; viewers that want it find it here.
        doc["scenes"][0]["extras"]["ambient"] = Vector(l.ambient);
    }
    json &extras = doc["scenes"][0]["extras"];
    extras["background"] = Vector(model.background);
    if (model.view && model.view->stereo && model.view->separation > 0)
        extras["eyeSeparation"] = model.view->separation;
    for (std::size_t i = 0; i < doc["nodes"].size(); i++)
        doc["scenes"][0]["nodes"].push_back(i);
}

Layout MakeLayout(const Model &model, const std::string &title)
{
    Layout layout;
    json &doc = layout.document;
    doc["asset"] = {{"version", "2.0"}, {"generator", "Tesselin"}};
    doc["scene"] = 0;
    doc["scenes"] = json::array({{{"name", title}, {"nodes", json::array()}}});
    doc["bufferViews"] = json::array();
    doc["accessors"] = json::array();
    // Only materials some primitive uses, so that none is left unused.
    std::vector<long> used(model.materials.size(), -1);
    json primitives = json::array(), materials = json::array();
    bool unlit = false;
    for (const ModelBatch &batch : model.batches) {
        if (batch.positions.empty())
            continue;
        if (used[batch.material] < 0) {
            used[batch.material] = long(materials.size());
            materials.push_back(MaterialJson(model.materials[batch.material], materials.size()));
            unlit = unlit || !model.materials[batch.material].lit;
        }
        json attributes = {{"POSITION", AddAttribute(layout, batch.positions, true)}};
        if (batch.kind == PrimitiveKind::Triangles)
            attributes["NORMAL"] = AddAttribute(layout, batch.normals, false);
        int mode = batch.kind == PrimitiveKind::Triangles ? 4 : batch.kind == PrimitiveKind::Lines ? 1 : 0;
        primitives.push_back({{"attributes", attributes}, {"mode", mode}, {"material", used[batch.material]}});
    }
    doc["materials"] = materials;
    doc["meshes"] = json::array({{{"name", title}, {"primitives", primitives}}});
    doc["nodes"] = json::array({{{"name", title}, {"mesh", 0}}});
    doc["extensionsUsed"] = json::array();
    if (unlit)
        doc["extensionsUsed"].push_back("KHR_materials_unlit");
    AddCameraAndLight(doc, model);
    if (doc["extensionsUsed"].empty())
        doc.erase("extensionsUsed");
    doc["buffers"] = json::array({{{"byteLength", layout.bufferBytes}}});
    return layout;
}

void PutWord(std::string &out, uint32_t v)
{
    char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    out.append(bytes, 4);
}

} // namespace

bool WriteGlb(const Model &model, const std::string &title, const ByteSink &sink)
{
    Layout layout = MakeLayout(model, title);
    std::string text = layout.document.dump();
    text.append((4 - text.size() % 4) % 4, ' '); // chunks are 4-byte aligned
    std::size_t total = 12 + 8 + text.size() + 8 + layout.bufferBytes;
    if (total > std::numeric_limits<uint32_t>::max())
        return false; // a .glb cannot be this large
    std::string head;
    PutWord(head, 0x46546C67); // "glTF"
    PutWord(head, 2);
    PutWord(head, uint32_t(total));
    PutWord(head, uint32_t(text.size()));
    PutWord(head, 0x4E4F534A); // "JSON"
    if (!sink(head.data(), head.size()) || !sink(text.data(), text.size()))
        return false;
    std::string binHead;
    PutWord(binHead, uint32_t(layout.bufferBytes));
    PutWord(binHead, 0x004E4942); // "BIN"
    if (!sink(binHead.data(), binHead.size()))
        return false;
    // Little-endian floats, as this machine holds them.
    static_assert(std::numeric_limits<float>::is_iec559);
    for (const Block &block : layout.blocks)
        if (!sink(block.values->data(), block.values->size() * sizeof(float)))
            return false;
    return true;
}

std::string GlbBytes(const Model &model, const std::string &title)
{
    std::string bytes;
    WriteGlb(model, title, [&bytes](const void *data, std::size_t size) {
        bytes.append(static_cast<const char *>(data), size);
        return true;
    });
    return bytes;
}

std::string GltfText(const Model &model, const std::string &title)
{
    Layout layout = MakeLayout(model, title);
    std::string buffer;
    buffer.reserve(layout.bufferBytes);
    for (const Block &block : layout.blocks)
        buffer.append(reinterpret_cast<const char *>(block.values->data()), block.values->size() * sizeof(float));
    layout.document["buffers"][0]["uri"] = "data:application/octet-stream;base64," + Base64(buffer);
    return layout.document.dump(1) + "\n";
}

std::string Base64(const std::string &bytes)
{
    static constexpr char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0})
            out += Digits[(v >> shift) & 63];
    }
    if (std::size_t rest = bytes.size() - i) {
        uint32_t v = uint32_t(uint8_t(bytes[i])) << 16 | (rest > 1 ? uint32_t(uint8_t(bytes[i + 1])) << 8 : 0);
        out += Digits[(v >> 18) & 63];
        out += Digits[(v >> 12) & 63];
        out += rest > 1 ? Digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

} // namespace tesselin
