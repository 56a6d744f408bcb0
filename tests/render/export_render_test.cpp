// Exporting the 3D model: scripts run through a Session, exported to files,
// and the files read back by their own layout (the .glb's JSON and binary
// chunks, the binary STL, the OBJ's lines) to check what they hold.
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using nlohmann::json;

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

uint32_t Word(const std::string &bytes, std::size_t at)
{
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

// A .glb read back: its JSON, and the floats of each accessor.
struct Glb {
    json doc;
    std::string bin;
    bool ok = false;

    std::vector<float> Floats(std::size_t accessor) const
    {
        const json &a = doc["accessors"][accessor];
        const json &view = doc["bufferViews"][a["bufferView"].get<std::size_t>()];
        std::vector<float> v(a["count"].get<std::size_t>() * 3);
        std::memcpy(v.data(), bin.data() + view["byteOffset"].get<std::size_t>(), v.size() * sizeof(float));
        return v;
    }
    // Primitives of a mode: 4 triangles, 1 lines, 0 points.
    std::size_t Count(int mode) const
    {
        std::size_t per = mode == 4 ? 3 : mode == 1 ? 2 : 1, n = 0;
        for (const json &p : doc["meshes"][0]["primitives"])
            if (p["mode"] == mode)
                n += doc["accessors"][p["attributes"]["POSITION"].get<std::size_t>()]["count"].get<std::size_t>() / per;
        return n;
    }
};

Glb ReadGlb(const std::string &path)
{
    Glb glb;
    std::string bytes = ReadFile(path);
    if (bytes.size() < 28 || Word(bytes, 0) != 0x46546C67 || Word(bytes, 8) != bytes.size())
        return glb;
    uint32_t jsonLength = Word(bytes, 12);
    glb.doc = json::parse(bytes.substr(20, jsonLength));
    std::size_t binAt = 20 + jsonLength;
    glb.bin = bytes.substr(binAt + 8, Word(bytes, binAt));
    glb.ok = jsonLength % 4 == 0 && Word(bytes, binAt + 4) == 0x004E4942;
    return glb;
}

struct Exported {
    bool written = false;
    std::string path;
    render::RenderResult run;
};

// Runs script and exports its last frame to a file named name in a scratch folder.
Exported Export(const std::string &script, const std::string &name, const render::RenderOptions &options = {})
{
    static int serial = 0;
    Exported out;
    std::filesystem::path folder = std::filesystem::path(render::ScratchDirectory()) / std::to_string(++serial);
    std::filesystem::create_directories(folder);
    out.path = (folder / name).string();
    render::RenderSession session(options);
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);)
        session.Command(line);
    out.written = session.Session().ExportModel(out.path);
    out.run = session.Finish();
    return out;
}

const std::string Canvas = "canvas 320 240 persp 30 1 100 12\nclear 1 1 1\nlight -1 1 1\n";

struct CountCase {
    const char *name;
    std::string script;
    std::size_t triangles, lines, points, materials;
};

TEST(Export, PrimitivesAndMaterialsAreCountedAsDrawn)
{
    const CountCase cases[] = {
        {"a torus of 24 x 12 quads", Canvas + "torus 2 0 360 24 x 360 12 x\nfinish\n", 24 * 12 * 2, 0, 0, 1},
        {"two colours, two materials",
         Canvas + "diffuse 1 0 0\ntorus 2 0 360 8 x 360 6 x\ndiffuse 0 0 1\nmove 0 0 3\ntorus 2 0 360 8 x 360 6 x\nfinish\n",
         2 * 8 * 6 * 2, 0, 0, 2},
        {"the same colour twice, one material",
         Canvas + "diffuse 1 0 0\ntorus 2 0 360 8 x 360 6 x\ndiffuse 1 0 0\ntorus 2 0 360 8 x 360 6 x\nfinish\n",
         2 * 8 * 6 * 2, 0, 0, 1},
        {"a wire torus: the quads' outlines", Canvas + "wire 1\ntorus 2 0 360 8 x 360 6 x\nfinish\n", 0, 8 * 6 * 4, 0, 1},
        {"dots: every corner", Canvas + "dot 2\ntorus 2 0 360 8 x 360 6 x\nfinish\n", 0, 0, 8 * 6 * 4, 1},
        {"a clear drops what came before it",
         Canvas + "torus 2 0 360 8 x 360 6 x\nclear 1 1 1\ntorus 2 0 360 24 x 360 12 x\nfinish\n", 24 * 12 * 2, 0, 0, 1},
        {"a stereo frame is one scene",
         "canvas 320 240 0 persp 30 1 100 12 0.7 0\nclear 1 1 1\nlight -1 1 1\ntorus 2 0 360 24 x 360 12 x\nfinish\n",
         24 * 12 * 2, 0, 0, 1},
        {"the last finished frame only",
         Canvas + "torus 2 0 360 24 x 360 12 x\nfinish\nclear 1 1 1\ntorus 2 0 360 8 x 360 6 x\n", 24 * 12 * 2, 0, 0, 1},
    };
    for (const CountCase &c : cases) {
        SCOPED_TRACE(c.name);
        Exported e = Export(c.script, "model.glb");
        ASSERT_TRUE(e.written) << e.run.AllMessages();
        Glb glb = ReadGlb(e.path);
        ASSERT_TRUE(glb.ok);
        EXPECT_EQ(glb.Count(4), c.triangles);
        EXPECT_EQ(glb.Count(1), c.lines);
        EXPECT_EQ(glb.Count(0), c.points);
        EXPECT_EQ(glb.doc["materials"].size(), c.materials);
        EXPECT_EQ(glb.doc["meshes"].size(), 1u);
        EXPECT_EQ(glb.doc["cameras"].size(), 1u);
    }
}

struct BoundsCase {
    const char *name;
    std::string transforms;
    tesselin::Camera camera;
    std::array<float, 3> low, high;
};

TEST(Export, WorldCoordinatesAreTheScriptsTransformsAlone)
{
    // cube is the unit cube, 0 to 1 on each axis.
    const BoundsCase cases[] = {
        {"as drawn", "", {}, {0, 0, 0}, {1, 1, 1}},
        {"moved and scaled", "move 1 2 3\nscale 2 1 0.5\n", {}, {1, 2, 3}, {3, 3, 3.5f}},
        {"turned a quarter round z", "rotate 90 0 0 1\nscale 2 1 1\n", {}, {-1, 0, 0}, {0, 2, 1}},
        {"the host's orbit is left out", "move 1 2 3\nscale 2 1 0.5\n", {70, 30, 20.0}, {1, 2, 3}, {3, 3, 3.5f}},
    };
    for (const BoundsCase &c : cases) {
        SCOPED_TRACE(c.name);
        render::RenderOptions options;
        options.camera = c.camera;
        Exported e = Export(Canvas + c.transforms + "cube\nfinish\n", "cube.glb", options);
        ASSERT_TRUE(e.written) << e.run.AllMessages();
        Glb glb = ReadGlb(e.path);
        ASSERT_TRUE(glb.ok);
        const json &position = glb.doc["accessors"][glb.doc["meshes"][0]["primitives"][0]["attributes"]["POSITION"].get<std::size_t>()];
        for (int i = 0; i < 3; i++) {
            EXPECT_NEAR(position["min"][i].get<double>(), c.low[i], 1e-5) << "axis " << i;
            EXPECT_NEAR(position["max"][i].get<double>(), c.high[i], 1e-5) << "axis " << i;
        }
        EXPECT_EQ(glb.doc["nodes"][1]["translation"][2].get<double>(), 12.0) << "the script's camera distance";
    }
}

struct FacingCase {
    const char *name;
    std::string lines;
    double side; // +1: normals and fronts face away from the centre, -1: towards it
};

TEST(Export, NormalsAreUnitAndFaceTheWayTheyAreDrawn)
{
    const FacingCase cases[] = {
        {"smooth", "sphere 12 16 smooth\n", 1},
        {"flat", "sphere 12 16 flat\n", 1},
        {"facing inwards", "in\nsphere 12 16 smooth\n", -1},
    };
    for (const FacingCase &c : cases) {
        SCOPED_TRACE(c.name);
        Exported e = Export(Canvas + "move 1 -2 0.5\nscale 1.5 1.5 1.5\n" + c.lines + "finish\n", "sphere.glb");
        ASSERT_TRUE(e.written) << e.run.AllMessages();
        Glb glb = ReadGlb(e.path);
        ASSERT_TRUE(glb.ok);
        const json &attributes = glb.doc["meshes"][0]["primitives"][0]["attributes"];
        auto p = glb.Floats(attributes["POSITION"]), n = glb.Floats(attributes["NORMAL"]);
        ASSERT_EQ(p.size(), n.size());
        ASSERT_GT(p.size(), 100u);
        std::size_t outward = 0;
        for (std::size_t i = 0; i < p.size(); i += 3) {
            double length = std::hypot(n[i], n[i + 1], n[i + 2]);
            EXPECT_NEAR(length, 1.0, 1e-5);
            double along = n[i] * (p[i] - 1) + n[i + 1] * (p[i + 1] + 2) + n[i + 2] * (p[i + 2] - 0.5);
            outward += along * c.side > 0;
        }
        EXPECT_EQ(outward, p.size() / 3);
        // Wound counter-clockwise seen from the front: the facet's normal agrees.
        for (std::size_t i = 0; i < p.size(); i += 9) {
            double e1[3], e2[3];
            for (int k = 0; k < 3; k++)
                e1[k] = p[i + 3 + k] - p[i + k], e2[k] = p[i + 6 + k] - p[i + k];
            double cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
            ASSERT_GT(c.side * (cross[0] * (p[i] - 1) + cross[1] * (p[i + 1] + 2) + cross[2] * (p[i + 2] - 0.5)), 0) << "triangle " << i / 9;
        }
    }
}

TEST(Export, MaterialsCarryColourShineAndLight)
{
    Exported e = Export(Canvas + "diffuse 1 0.5 0\nshine 128 1 1 1\nemit 0.2 0 0\ntorus 2 0 360 8 x 360 6 x\nfinish\n",
                        "lit.glb");
    ASSERT_TRUE(e.written) << e.run.AllMessages();
    Glb glb = ReadGlb(e.path);
    const json &m = glb.doc["materials"][0];
    const json &pbr = m["pbrMetallicRoughness"];
    EXPECT_NEAR(pbr["baseColorFactor"][0].get<double>(), 1.0, 1e-6);
    EXPECT_NEAR(pbr["baseColorFactor"][1].get<double>(), 0.214, 1e-3) << "0.5 as linear light";
    EXPECT_EQ(pbr["metallicFactor"].get<double>(), 0.0);
    EXPECT_LT(pbr["roughnessFactor"].get<double>(), 0.2) << "a small highlight is a smooth surface";
    EXPECT_GT(m["emissiveFactor"][0].get<double>(), 0.0);
    EXPECT_TRUE(m["doubleSided"].get<bool>());
    EXPECT_FALSE(m.contains("extensions")) << "a lit material";
    EXPECT_EQ(glb.doc["extensions"]["KHR_lights_punctual"]["lights"][0]["type"], "directional");

    Exported unlit = Export("canvas 320 240 persp 30 1 100 12\ncolor 0 1 0\ntorus 2 0 360 8 x 360 6 x\nfinish\n", "unlit.glb");
    Glb flat = ReadGlb(unlit.path);
    EXPECT_TRUE(flat.doc["materials"][0]["extensions"].contains("KHR_materials_unlit"));
    EXPECT_FALSE(flat.doc.contains("extensions")) << "no light without lighting";
}

TEST(Export, ObjAndStlHoldTheSameModel)
{
    std::string script = Canvas + "wire 1\ncube\nsolid\ndiffuse 1 0 0\ntorus 2 0 360 8 x 360 6 x\nfinish\n";
    Exported obj = Export(script, "m.obj");
    ASSERT_TRUE(obj.written) << obj.run.AllMessages();
    std::string text = ReadFile(obj.path), mtl = ReadFile(std::filesystem::path(obj.path).replace_extension(".mtl"));
    auto count = [&text](const std::string &start) {
        std::size_t n = 0;
        for (std::size_t at = text.find("\n" + start); at != std::string::npos; at = text.find("\n" + start, at + 1))
            n++;
        return n;
    };
    EXPECT_EQ(count("f "), 8u * 6 * 2);
    EXPECT_EQ(count("l "), 6u * 4);
    EXPECT_NE(text.find("mtllib m.mtl"), std::string::npos);
    EXPECT_NE(mtl.find("Kd 1 0 0"), std::string::npos) << mtl;

    Exported stl = Export(script, "m.stl");
    ASSERT_TRUE(stl.written);
    EXPECT_TRUE(stl.run.Said("Warning: 24 lines and dots are left out")) << stl.run.AllMessages();
    std::string bytes = ReadFile(stl.path);
    ASSERT_GE(bytes.size(), 84u);
    EXPECT_NE(bytes.rfind("solid", 0), 0u) << "a binary STL must not look like a text one";
    EXPECT_NE(bytes.substr(0, 80).find("metres"), std::string::npos);
    EXPECT_EQ(Word(bytes, 80), 8u * 6 * 2);
    EXPECT_EQ(bytes.size(), 84u + 50u * Word(bytes, 80));
}

struct ErrorCase {
    const char *name;
    std::string script, file, said;
};

TEST(Export, NothingIsWrittenWithoutA3DFrame)
{
    const ErrorCase cases[] = {
        {"the welcome canvas alone", "", "m.glb", "the canvas is flat"},
        {"a picture on a flat canvas",
         "erase white\npicture l 0 0 1 abs " + std::string(TESSELIN_SOURCE_DIR) + "/examples/images/balls.jpg\n", "m.glb",
         "the canvas is flat"},
        {"a flat canvas", "canvas 320 240\nfinish\n", "m.glb", "the canvas is flat"},
        {"no finished frame", Canvas + "torus 2 0 360 8 x 360 6 x\n", "m.glb", "no 3D frame was finished"},
        {"a finished frame with nothing in it", Canvas + "finish\n", "m.glb", "nothing drawn in 3D"},
        {"an unknown format", Canvas + "cube\nfinish\n", "m.png", "written as .glb, .gltf, .obj, .stl or .html"},
        {"an STL of lines only", Canvas + "wire 1\ncube\nfinish\n", "m.stl", "holds triangles only"},
    };
    for (const ErrorCase &c : cases) {
        SCOPED_TRACE(c.name);
        Exported e = Export(c.script, c.file);
        EXPECT_FALSE(e.written);
        EXPECT_FALSE(std::filesystem::exists(e.path));
        EXPECT_TRUE(e.run.Said("Error! ")) << e.run.AllMessages();
        EXPECT_TRUE(e.run.Said(c.said)) << e.run.AllMessages();
        EXPECT_EQ(e.run.status, 1);
    }
}

TEST(Export, ProgramWritesEveryFormatAndEveryFrame)
{
    std::string folder = render::ScratchDirectory() + "/program";
    std::filesystem::create_directories(folder);
    std::string script = folder + "/two.tsl";
    std::ofstream(script) << Canvas << "torus 2 0 360 8 x 360 6 x\nfinish\nclear 1 1 1\ncube\nfinish\n";
    for (const char *name : {"m.glb", "m.gltf", "m.obj", "m.stl", "m.html"}) {
        SCOPED_TRACE(name);
        std::string out = folder + "/" + name;
        auto run = render::RunTesselin({"run", script, "--export", out});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_GT(std::filesystem::file_size(out), 200u);
        EXPECT_FALSE(std::filesystem::exists(folder + "/two.png")) << "an export is the output asked for";
    }
    std::string page = ReadFile(folder + "/m.html");
    EXPECT_NE(page.find("<title>two</title>"), std::string::npos);
    EXPECT_EQ(page.find("src=\"http"), std::string::npos) << "the page fetches nothing";
    EXPECT_NE(page.find("GLTFLoader"), std::string::npos);

    auto frames = render::RunTesselin({"run", script, "--export-frames", folder + "/f"});
    EXPECT_EQ(frames.status, 0) << frames.err;
    Glb first = ReadGlb(folder + "/f-0001.glb"), second = ReadGlb(folder + "/f-0002.glb");
    EXPECT_EQ(first.Count(4), 8u * 6 * 2);
    EXPECT_EQ(second.Count(4), 6u * 2) << "the cube alone, after the clear";

    // A failed export leaves the older file whole and fails the run.
    std::ofstream(folder + "/flat.tsl") << "canvas 100 100\nfinish\n";
    std::string before = ReadFile(folder + "/m.glb");
    auto failed = render::RunTesselin({"run", folder + "/flat.tsl", "--export", folder + "/m.glb"});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.err.find("Error! the canvas is flat"), std::string::npos) << failed.err;
    EXPECT_EQ(ReadFile(folder + "/m.glb"), before);
    auto usage = render::RunTesselin({"run", script, "--export", folder + "/m.png"});
    EXPECT_EQ(usage.status, 2) << usage.err;
}

} // namespace
