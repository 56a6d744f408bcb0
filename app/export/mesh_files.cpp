#include "app/export/mesh_files.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace tesselin {

namespace {

void Number(std::string &out, float v)
{
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, v);
    out.append(text, result.ptr);
}

void Index(std::string &out, std::size_t v)
{
    char text[24];
    auto result = std::to_chars(text, text + sizeof text, v);
    out.append(text, result.ptr);
}

void Line(std::string &out, const char *keyword, const float *v)
{
    out += keyword;
    for (int i = 0; i < 3; i++) {
        out += ' ';
        Number(out, v[i]);
    }
    out += '\n';
}

std::string MaterialName(std::size_t index) { return "material" + std::to_string(index + 1); }

std::string MtlText(const Model &model, const std::string &title)
{
    std::string mtl = "# Materials of " + title + ", written by Tesselin\n";
    for (std::size_t i = 0; i < model.materials.size(); i++) {
        const ModelMaterial &m = model.materials[i];
        mtl += "\nnewmtl " + MaterialName(i) + "\n";
        Line(mtl, "Kd", m.colour.data());
        Line(mtl, "Ka", Vec3{0, 0, 0}.data());
        Line(mtl, "Ks", m.specular.data());
        Line(mtl, "Ke", m.emission.data());
        mtl += "Ns ";
        Number(mtl, m.shininess);
        // illum 0: the colour as it is, unlit; 2: lit with highlights.
        mtl += m.lit ? "\nillum 2\n" : "\nillum 0\n";
    }
    return mtl;
}

} // namespace

ObjFiles ObjText(const Model &model, const std::string &mtlName, const std::string &title)
{
    ObjFiles files;
    std::string &obj = files.obj;
    obj = "# " + title + ", written by Tesselin; 1 unit is 1 metre\nmtllib " + mtlName + "\no model\n";
    std::size_t vertex = 1, normal = 1;
    for (const ModelBatch &batch : model.batches) {
        std::size_t count = batch.positions.size() / 3;
        for (std::size_t i = 0; i < count; i++)
            Line(obj, "v", &batch.positions[3 * i]);
        if (batch.kind == PrimitiveKind::Triangles)
            for (std::size_t i = 0; i < count; i++)
                Line(obj, "vn", &batch.normals[3 * i]);
        obj += "usemtl " + MaterialName(batch.material) + "\n";
        std::size_t per = batch.kind == PrimitiveKind::Triangles ? 3 : batch.kind == PrimitiveKind::Lines ? 2 : 1;
        const char *keyword = per == 3 ? "f" : per == 2 ? "l" : "p";
        for (std::size_t i = 0; i + per <= count; i += per) {
            obj += keyword;
            for (std::size_t k = 0; k < per; k++) {
                obj += ' ';
                Index(obj, vertex + i + k);
                if (per == 3) {
                    obj += "//";
                    Index(obj, normal + i + k);
                }
            }
            obj += '\n';
        }
        vertex += count;
        if (per == 3)
            normal += count;
    }
    files.mtl = MtlText(model, title);
    return files;
}

std::string StlBytes(const Model &model, const std::string &title)
{
    // A binary STL's header must not begin with "solid", which marks text STL.
    std::string header = "Tesselin model " + title + "; units: metres (1 script unit = 1 m)";
    header.resize(80, ' ');
    std::string out = header;
    uint32_t count = uint32_t(model.Count(PrimitiveKind::Triangles));
    out.append(reinterpret_cast<const char *>(&count), 4);
    out.reserve(out.size() + std::size_t(count) * 50);
    for (const ModelBatch &batch : model.batches) {
        if (batch.kind != PrimitiveKind::Triangles)
            continue;
        for (std::size_t i = 0; i + 9 <= batch.positions.size(); i += 9) {
            const float *p = &batch.positions[i];
            double e1[3], e2[3];
            for (int k = 0; k < 3; k++)
                e1[k] = double(p[3 + k]) - p[k], e2[k] = double(p[6 + k]) - p[k];
            double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            float facet[12] = {};
            for (int k = 0; k < 3; k++)
                facet[k] = length > 0 ? float(n[k] / length) : 0.0f;
            std::memcpy(facet + 3, p, 9 * sizeof(float));
            out.append(reinterpret_cast<const char *>(facet), sizeof facet);
            out.append(2, '\0'); // no attributes
        }
    }
    return out;
}

} // namespace tesselin
