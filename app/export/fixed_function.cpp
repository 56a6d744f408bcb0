#include "app/export/fixed_function.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

namespace tesselin {

namespace {

// Column-major, as OpenGL keeps its matrices.
using Mat4 = std::array<double, 16>;

constexpr Mat4 Identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Mat4 Times(const Mat4 &a, const Mat4 &b)
{
    Mat4 r{};
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = sum;
        }
    return r;
}

Mat4 Rotation(double degrees, double x, double y, double z)
{
    double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0))
        return Identity; // no axis: OpenGL implementations leave the matrix alone
    x /= length, y /= length, z /= length;
    double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
    return {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, 0,
            t * x * y - s * z, t * y * y + c,     t * y * z + s * x, 0,
            t * x * z + s * y, t * y * z - s * x, t * z * z + c,     0,
            0,                 0,                 0,                 1};
}

// The matrix that takes normals: the inverse transpose of the upper 3 x 3.
std::array<double, 9> NormalMatrix(const Mat4 &m)
{
    double a = m[0], b = m[4], c = m[8], d = m[1], e = m[5], f = m[9], g = m[2], h = m[6], i = m[10];
    double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    double det = a * A + b * B + c * C;
    double k = det != 0 ? 1 / det : 0;
    // Rows of the inverse transpose are the cofactors over the determinant.
    return {A * k, B * k, C * k,
            -(b * i - c * h) * k, (a * i - c * g) * k, -(a * h - b * g) * k,
            (b * f - c * e) * k, -(a * f - c * d) * k, (a * e - b * d) * k};
}

struct Vertex {
    Vec3 position;
    Vec3 normal;
};

struct Surface {
    std::array<float, 4> ambient{0.2f, 0.2f, 0.2f, 1}, diffuse{0.8f, 0.8f, 0.8f, 1}, specular{0, 0, 0, 1},
        emission{0, 0, 0, 1};
    float shininess = 0;
};

struct Light {
    bool enabled = false;
    Vec3 direction{0, 0, 1};
    Vec3 diffuse{1, 1, 1}, ambient{0, 0, 0};
};

Vec3 Unit(double x, double y, double z)
{
    double length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0) || !std::isfinite(length))
        return {0, 0, 0};
    return {float(x / length), float(y / length), float(z / length)};
}

} // namespace

struct FixedFunction::State {
    GLenum matrixMode = GL_MODELVIEW;
    std::vector<Mat4> modelview{Identity}, projection{Identity}, texture{Identity};
    std::array<double, 9> normalMatrix = NormalMatrix(Identity);
    std::array<float, 3> normal{0, 0, 1};
    std::array<float, 4> colour{1, 1, 1, 1};
    Vec3 clearColour{0, 0, 0};
    Surface front;
    bool lighting = false, colorMaterial = false, cull = false, flat = false;
    float pointSize = 1;
    GLenum colorMaterialMode = GL_AMBIENT_AND_DIFFUSE;
    GLenum polygonMode = GL_FILL, frontFace = GL_CCW, cullFace = GL_BACK;
    Light light;

    // Between glBegin and glEnd.
    bool inside = false;
    GLenum mode = GL_POINTS;
    std::vector<Vertex> vertices;

    Model model;
    bool materialDirty = true;
    std::array<std::size_t, 3> material{}; // of the current look, by kind
    std::map<std::pair<std::size_t, PrimitiveKind>, std::size_t> batchOf;
    std::array<ModelBatch *, 3> batchFor{}; // of the current material, by kind

    std::vector<Mat4> &Stack()
    {
        return matrixMode == GL_PROJECTION ? projection : matrixMode == GL_TEXTURE ? texture : modelview;
    }
    void Changed()
    {
        if (matrixMode == GL_MODELVIEW)
            normalMatrix = NormalMatrix(modelview.back());
    }
    void Load(const Mat4 &m)
    {
        Stack().back() = m;
        Changed();
    }
    void Multiply(const Mat4 &m) { Load(Times(Stack().back(), m)); }

    void AddVertex(double x, double y, double z, double w);
    void End();
    void Triangles();
    void Edges();
    void Triangle(const Vertex &a, const Vertex &b, const Vertex &c, const Vertex &provoking);
    void Segment(const Vertex &a, const Vertex &b);
    void Dot(const Vertex &a);
    ModelBatch &Batch(PrimitiveKind kind);
    ModelMaterial Look(PrimitiveKind kind) const;
    void Clear();
    void View();
};

namespace {

FixedFunction::State *Active = nullptr;

FixedFunction::State &S() { return *Active; }

template <typename T> Mat4 ToMat4(const T *m)
{
    Mat4 r;
    for (int i = 0; i < 16; i++)
        r[i] = double(m[i]);
    return r;
}

} // namespace

void FixedFunction::State::AddVertex(double x, double y, double z, double w)
{
    if (!inside)
        return; // a vertex outside glBegin/glEnd draws nothing
    const Mat4 &m = modelview.back();
    double px = m[0] * x + m[4] * y + m[8] * z + m[12] * w;
    double py = m[1] * x + m[5] * y + m[9] * z + m[13] * w;
    double pz = m[2] * x + m[6] * y + m[10] * z + m[14] * w;
    double pw = m[3] * x + m[7] * y + m[11] * z + m[15] * w;
    if (pw != 0 && pw != 1)
        px /= pw, py /= pw, pz /= pw;
    const auto &n = normalMatrix;
    Vec3 normal = Unit(n[0] * this->normal[0] + n[1] * this->normal[1] + n[2] * this->normal[2],
                       n[3] * this->normal[0] + n[4] * this->normal[1] + n[5] * this->normal[2],
                       n[6] * this->normal[0] + n[7] * this->normal[1] + n[8] * this->normal[2]);
    vertices.push_back({{float(px), float(py), float(pz)}, normal});
}

ModelMaterial FixedFunction::State::Look(PrimitiveKind kind) const
{
    ModelMaterial look;
    if (kind != PrimitiveKind::Triangles) {
        // Lines and dots have no surface to light: they keep the colour they
        // glow with, or their own.
        ModelMaterial lit = Look(PrimitiveKind::Triangles);
        look.colour = lit.emission != Vec3{0, 0, 0} ? lit.emission : lit.colour;
        look.doubleSided = lit.doubleSided;
        if (kind == PrimitiveKind::Points)
            look.pointSize = std::isfinite(pointSize) ? std::clamp(pointSize, 1.0f, 1000.0f) : 1.0f;
        return look;
    }
    look.lit = lighting;
    bool colourIsDiffuse = !lighting || (colorMaterial && (colorMaterialMode == GL_DIFFUSE ||
                                                           colorMaterialMode == GL_AMBIENT_AND_DIFFUSE));
    const auto &diffuse = colourIsDiffuse ? colour : front.diffuse;
    look.colour = {diffuse[0], diffuse[1], diffuse[2]};
    if (lighting) {
        const auto &specular = colorMaterial && colorMaterialMode == GL_SPECULAR ? colour : front.specular;
        const auto &emission = colorMaterial && colorMaterialMode == GL_EMISSION ? colour : front.emission;
        look.specular = {specular[0], specular[1], specular[2]};
        look.emission = {emission[0], emission[1], emission[2]};
        look.shininess = std::clamp(front.shininess, 0.0f, 128.0f);
    }
    for (Vec3 *c : {&look.colour, &look.specular, &look.emission})
        for (float &v : *c)
            v = std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f;
    look.doubleSided = !cull;
    return look;
}

ModelBatch &FixedFunction::State::Batch(PrimitiveKind kind)
{
    if (materialDirty) {
        batchFor = {};
        materialDirty = false;
    }
    std::size_t slot = std::size_t(kind);
    if (!batchFor[slot]) {
        ModelMaterial look = Look(kind);
        auto found = std::find(model.materials.begin(), model.materials.end(), look);
        material[slot] = std::size_t(found - model.materials.begin());
        if (found == model.materials.end())
            model.materials.push_back(look);
        auto [where, added] = batchOf.try_emplace({material[slot], kind}, model.batches.size());
        if (added) {
            model.batches.push_back({kind, material[slot], {}, {}});
            batchFor = {}; // the batches may have moved
        }
        batchFor[slot] = &model.batches[where->second];
    }
    return *batchFor[slot];
}

void FixedFunction::State::Triangle(const Vertex &a, const Vertex &b, const Vertex &c, const Vertex &provoking)
{
    // Culling both faces draws no polygon; culling the front shows the back,
    // which faces the other way.
    if (cull && cullFace == GL_FRONT_AND_BACK)
        return;
    bool reversed = (frontFace == GL_CW) != (cull && cullFace == GL_FRONT);
    const Vertex *v[3] = {&a, reversed ? &c : &b, reversed ? &b : &c};
    double e1[3], e2[3];
    for (int i = 0; i < 3; i++) {
        e1[i] = double(v[1]->position[i]) - v[0]->position[i];
        e2[i] = double(v[2]->position[i]) - v[0]->position[i];
    }
    double cx = e1[1] * e2[2] - e1[2] * e2[1], cy = e1[2] * e2[0] - e1[0] * e2[2], cz = e1[0] * e2[1] - e1[1] * e2[0];
    double area2 = cx * cx + cy * cy + cz * cz;
    double scale = std::max(e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2], e2[0] * e2[0] + e2[1] * e2[1] + e2[2] * e2[2]);
    // A triangle without area covers no pixel; readers reject it too.
    if (!(area2 > 1e-14 * scale * scale))
        return;
    Vec3 facet = Unit(cx, cy, cz);
    bool flip = cull && cullFace == GL_FRONT;
    ModelBatch &batch = Batch(PrimitiveKind::Triangles);
    for (const Vertex *p : v) {
        const Vec3 &chosen = flat ? provoking.normal : p->normal;
        bool none = chosen[0] == 0 && chosen[1] == 0 && chosen[2] == 0;
        Vec3 n = none ? facet : chosen;
        float sign = flip && !none ? -1.0f : 1.0f;
        batch.positions.insert(batch.positions.end(), p->position.begin(), p->position.end());
        batch.normals.insert(batch.normals.end(), {sign * n[0], sign * n[1], sign * n[2]});
    }
}

void FixedFunction::State::Segment(const Vertex &a, const Vertex &b)
{
    ModelBatch &batch = Batch(PrimitiveKind::Lines);
    batch.positions.insert(batch.positions.end(), a.position.begin(), a.position.end());
    batch.positions.insert(batch.positions.end(), b.position.begin(), b.position.end());
}

void FixedFunction::State::Dot(const Vertex &a)
{
    ModelBatch &batch = Batch(PrimitiveKind::Points);
    batch.positions.insert(batch.positions.end(), a.position.begin(), a.position.end());
}

// The polygons of the primitive between glBegin and glEnd as triangles, each
// with its provoking vertex (whose normal a flat-shaded polygon takes).
void FixedFunction::State::Triangles()
{
    const auto &v = vertices;
    std::size_t n = v.size();
    switch (mode) {
    case GL_TRIANGLES:
        for (std::size_t i = 0; i + 2 < n; i += 3)
            Triangle(v[i], v[i + 1], v[i + 2], v[i + 2]);
        break;
    case GL_TRIANGLE_STRIP:
        for (std::size_t i = 0; i + 2 < n; i++)
            i % 2 ? Triangle(v[i + 1], v[i], v[i + 2], v[i + 2]) : Triangle(v[i], v[i + 1], v[i + 2], v[i + 2]);
        break;
    case GL_TRIANGLE_FAN:
        for (std::size_t i = 1; i + 1 < n; i++)
            Triangle(v[0], v[i], v[i + 1], v[i + 1]);
        break;
    case GL_QUADS:
        for (std::size_t i = 0; i + 3 < n; i += 4) {
            Triangle(v[i], v[i + 1], v[i + 2], v[i + 3]);
            Triangle(v[i], v[i + 2], v[i + 3], v[i + 3]);
        }
        break;
    case GL_QUAD_STRIP:
        for (std::size_t i = 0; i + 3 < n; i += 2) {
            Triangle(v[i], v[i + 1], v[i + 3], v[i + 3]);
            Triangle(v[i], v[i + 3], v[i + 2], v[i + 3]);
        }
        break;
    case GL_POLYGON:
        for (std::size_t i = 1; i + 1 < n; i++)
            Triangle(v[0], v[i], v[i + 1], v[0]);
        break;
    default:
        break;
    }
}

// The outlines of the polygons, for polygon mode GL_LINE.
void FixedFunction::State::Edges()
{
    const auto &v = vertices;
    std::size_t n = v.size();
    auto loop = [&](std::initializer_list<std::size_t> corners) {
        std::vector<std::size_t> c(corners);
        for (std::size_t k = 0; k < c.size(); k++)
            Segment(v[c[k]], v[c[(k + 1) % c.size()]]);
    };
    if (mode == GL_TRIANGLES)
        for (std::size_t i = 0; i + 2 < n; i += 3)
            loop({i, i + 1, i + 2});
    else if (mode == GL_TRIANGLE_STRIP)
        for (std::size_t i = 0; i + 2 < n; i++)
            loop({i, i + 1, i + 2});
    else if (mode == GL_TRIANGLE_FAN)
        for (std::size_t i = 1; i + 1 < n; i++)
            loop({0, i, i + 1});
    else if (mode == GL_QUADS)
        for (std::size_t i = 0; i + 3 < n; i += 4)
            loop({i, i + 1, i + 2, i + 3});
    else if (mode == GL_QUAD_STRIP)
        for (std::size_t i = 0; i + 3 < n; i += 2)
            loop({i, i + 1, i + 3, i + 2});
    else if (mode == GL_POLYGON && n >= 2)
        for (std::size_t k = 0; k < n; k++)
            Segment(v[k], v[(k + 1) % n]);
}

void FixedFunction::State::End()
{
    if (!inside)
        return;
    inside = false;
    const auto &v = vertices;
    std::size_t n = v.size();
    if (mode == GL_POINTS) {
        for (const Vertex &p : v)
            Dot(p);
    } else if (mode == GL_LINES) {
        for (std::size_t i = 0; i + 1 < n; i += 2)
            Segment(v[i], v[i + 1]);
    } else if (mode == GL_LINE_STRIP || mode == GL_LINE_LOOP) {
        for (std::size_t i = 0; i + 1 < n; i++)
            Segment(v[i], v[i + 1]);
        if (mode == GL_LINE_LOOP && n > 2)
            Segment(v[n - 1], v[0]);
    } else if (!(cull && cullFace == GL_FRONT_AND_BACK)) {
        // Polygons, drawn as polygon mode says (the front faces' mode).
        std::size_t least = mode == GL_QUADS || mode == GL_QUAD_STRIP ? 4 : 3;
        if (polygonMode == GL_POINT && n >= least)
            for (const Vertex &p : v)
                Dot(p);
        else if (polygonMode == GL_LINE)
            Edges();
        else
            Triangles();
    }
    vertices.clear();
}

void FixedFunction::State::Clear()
{
    model.materials.clear();
    model.batches.clear();
    batchOf.clear();
    batchFor = {};
    materialDirty = true;
}

// A view the host set up: it loaded its own projection and camera, which the
// model leaves out, so the script's transforms start from the world's axes.
void FixedFunction::State::View()
{
    modelview.assign(1, Identity);
    projection.assign(1, Identity);
    matrixMode = GL_MODELVIEW;
    normalMatrix = NormalMatrix(Identity);
}

namespace {

// The OpenGL calls the reader follows. Each has the entry point's own type.
namespace calls {

void GLAPIENTRY Begin(GLenum mode)
{
    S().inside = true;
    S().mode = mode;
    S().vertices.clear();
}
void GLAPIENTRY End() { S().End(); }

void GLAPIENTRY Vertex2f(GLfloat x, GLfloat y) { S().AddVertex(x, y, 0, 1); }
void GLAPIENTRY Vertex2d(GLdouble x, GLdouble y) { S().AddVertex(x, y, 0, 1); }
void GLAPIENTRY Vertex2i(GLint x, GLint y) { S().AddVertex(x, y, 0, 1); }
void GLAPIENTRY Vertex2fv(const GLfloat *v) { S().AddVertex(v[0], v[1], 0, 1); }
void GLAPIENTRY Vertex2dv(const GLdouble *v) { S().AddVertex(v[0], v[1], 0, 1); }
void GLAPIENTRY Vertex3f(GLfloat x, GLfloat y, GLfloat z) { S().AddVertex(x, y, z, 1); }
void GLAPIENTRY Vertex3d(GLdouble x, GLdouble y, GLdouble z) { S().AddVertex(x, y, z, 1); }
void GLAPIENTRY Vertex3i(GLint x, GLint y, GLint z) { S().AddVertex(x, y, z, 1); }
void GLAPIENTRY Vertex3fv(const GLfloat *v) { S().AddVertex(v[0], v[1], v[2], 1); }
void GLAPIENTRY Vertex3dv(const GLdouble *v) { S().AddVertex(v[0], v[1], v[2], 1); }
void GLAPIENTRY Vertex4f(GLfloat x, GLfloat y, GLfloat z, GLfloat w) { S().AddVertex(x, y, z, w); }
void GLAPIENTRY Vertex4d(GLdouble x, GLdouble y, GLdouble z, GLdouble w) { S().AddVertex(x, y, z, w); }
void GLAPIENTRY Vertex4fv(const GLfloat *v) { S().AddVertex(v[0], v[1], v[2], v[3]); }
void GLAPIENTRY Vertex4dv(const GLdouble *v) { S().AddVertex(v[0], v[1], v[2], v[3]); }

void SetNormal(double x, double y, double z) { S().normal = {float(x), float(y), float(z)}; }
void GLAPIENTRY Normal3f(GLfloat x, GLfloat y, GLfloat z) { SetNormal(x, y, z); }
void GLAPIENTRY Normal3d(GLdouble x, GLdouble y, GLdouble z) { SetNormal(x, y, z); }
void GLAPIENTRY Normal3fv(const GLfloat *v) { SetNormal(v[0], v[1], v[2]); }
void GLAPIENTRY Normal3dv(const GLdouble *v) { SetNormal(v[0], v[1], v[2]); }

void SetColour(double r, double g, double b, double a)
{
    S().colour = {float(r), float(g), float(b), float(a)};
    S().materialDirty = true;
}
void GLAPIENTRY Color3f(GLfloat r, GLfloat g, GLfloat b) { SetColour(r, g, b, 1); }
void GLAPIENTRY Color3d(GLdouble r, GLdouble g, GLdouble b) { SetColour(r, g, b, 1); }
void GLAPIENTRY Color3fv(const GLfloat *v) { SetColour(v[0], v[1], v[2], 1); }
void GLAPIENTRY Color3dv(const GLdouble *v) { SetColour(v[0], v[1], v[2], 1); }
void GLAPIENTRY Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { SetColour(r, g, b, a); }
void GLAPIENTRY Color4d(GLdouble r, GLdouble g, GLdouble b, GLdouble a) { SetColour(r, g, b, a); }
void GLAPIENTRY Color4fv(const GLfloat *v) { SetColour(v[0], v[1], v[2], v[3]); }
void GLAPIENTRY Color4dv(const GLdouble *v) { SetColour(v[0], v[1], v[2], v[3]); }
void GLAPIENTRY Color3ub(GLubyte r, GLubyte g, GLubyte b) { SetColour(r / 255.0, g / 255.0, b / 255.0, 1); }
void GLAPIENTRY Color4ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a)
{
    SetColour(r / 255.0, g / 255.0, b / 255.0, a / 255.0);
}
void GLAPIENTRY Color3ubv(const GLubyte *v) { Color3ub(v[0], v[1], v[2]); }
void GLAPIENTRY Color4ubv(const GLubyte *v) { Color4ub(v[0], v[1], v[2], v[3]); }

void GLAPIENTRY MatrixMode(GLenum mode) { S().matrixMode = mode; }
void GLAPIENTRY LoadIdentity() { S().Load(Identity); }
void GLAPIENTRY LoadMatrixf(const GLfloat *m) { S().Load(ToMat4(m)); }
void GLAPIENTRY LoadMatrixd(const GLdouble *m) { S().Load(ToMat4(m)); }
void GLAPIENTRY MultMatrixf(const GLfloat *m) { S().Multiply(ToMat4(m)); }
void GLAPIENTRY MultMatrixd(const GLdouble *m) { S().Multiply(ToMat4(m)); }
void GLAPIENTRY PushMatrix()
{
    auto &stack = S().Stack();
    stack.push_back(stack.back());
}
void GLAPIENTRY PopMatrix()
{
    auto &stack = S().Stack();
    if (stack.size() > 1) { // OpenGL refuses to pop the last matrix
        stack.pop_back();
        S().Changed();
    }
}
void Translate(double x, double y, double z) { S().Multiply({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1}); }
void Scale(double x, double y, double z) { S().Multiply({x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1}); }
void GLAPIENTRY Translatef(GLfloat x, GLfloat y, GLfloat z) { Translate(x, y, z); }
void GLAPIENTRY Translated(GLdouble x, GLdouble y, GLdouble z) { Translate(x, y, z); }
void GLAPIENTRY Scalef(GLfloat x, GLfloat y, GLfloat z) { Scale(x, y, z); }
void GLAPIENTRY Scaled(GLdouble x, GLdouble y, GLdouble z) { Scale(x, y, z); }
void GLAPIENTRY Rotatef(GLfloat a, GLfloat x, GLfloat y, GLfloat z) { S().Multiply(Rotation(a, x, y, z)); }
void GLAPIENTRY Rotated(GLdouble a, GLdouble x, GLdouble y, GLdouble z) { S().Multiply(Rotation(a, x, y, z)); }

void Switch(GLenum cap, bool on)
{
    auto &s = S();
    if (cap == GL_LIGHTING)
        s.lighting = on;
    else if (cap == GL_LIGHT0)
        s.light.enabled = on;
    else if (cap == GL_COLOR_MATERIAL)
        s.colorMaterial = on;
    else if (cap == GL_CULL_FACE)
        s.cull = on;
    else
        return;
    s.materialDirty = true;
}
void GLAPIENTRY Enable(GLenum cap) { Switch(cap, true); }
void GLAPIENTRY Disable(GLenum cap) { Switch(cap, false); }

void GLAPIENTRY PolygonMode(GLenum face, GLenum mode)
{
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK)
        S().polygonMode = mode;
}
void GLAPIENTRY FrontFace(GLenum mode) { S().frontFace = mode; }
void GLAPIENTRY CullFace(GLenum mode)
{
    S().cullFace = mode;
    S().materialDirty = true;
}
void GLAPIENTRY ShadeModel(GLenum mode) { S().flat = mode == GL_FLAT; }
void GLAPIENTRY PointSize(GLfloat size)
{
    S().pointSize = size;
    S().materialDirty = true;
}
void GLAPIENTRY Clear(GLbitfield mask)
{
    if (mask & GL_COLOR_BUFFER_BIT) {
        S().Clear();
        S().model.background = S().clearColour;
    }
}
void GLAPIENTRY ClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf)
{
    auto unit = [](float v) { return std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0.0f; };
    S().clearColour = {unit(r), unit(g), unit(b)};
}

void GLAPIENTRY Lightfv(GLenum light, GLenum pname, const GLfloat *v)
{
    if (light != GL_LIGHT0 || !v)
        return;
    Light &l = S().light;
    if (pname == GL_POSITION) {
        // Light positions go through the modelview itself, not its inverse.
        const Mat4 &m = S().modelview.back();
        l.direction = Unit(m[0] * v[0] + m[4] * v[1] + m[8] * v[2], m[1] * v[0] + m[5] * v[1] + m[9] * v[2],
                           m[2] * v[0] + m[6] * v[1] + m[10] * v[2]);
    } else if (pname == GL_DIFFUSE) {
        l.diffuse = {v[0], v[1], v[2]};
    } else if (pname == GL_AMBIENT) {
        l.ambient = {v[0], v[1], v[2]};
    }
}

void SetMaterial(GLenum face, GLenum pname, const float *v)
{
    if (face == GL_BACK || !v)
        return; // the exported surface has the front's look on both faces
    Surface &f = S().front;
    auto set = [v](std::array<float, 4> &slot) { std::copy(v, v + 4, slot.begin()); };
    if (pname == GL_AMBIENT || pname == GL_AMBIENT_AND_DIFFUSE)
        set(f.ambient);
    if (pname == GL_DIFFUSE || pname == GL_AMBIENT_AND_DIFFUSE)
        set(f.diffuse);
    if (pname == GL_SPECULAR)
        set(f.specular);
    if (pname == GL_EMISSION)
        set(f.emission);
    if (pname == GL_SHININESS)
        f.shininess = v[0];
    S().materialDirty = true;
}
void GLAPIENTRY Materialfv(GLenum face, GLenum pname, const GLfloat *v) { SetMaterial(face, pname, v); }
void GLAPIENTRY Materialiv(GLenum face, GLenum pname, const GLint *v)
{
    if (!v)
        return;
    // Integer colours span the whole range of GLint; the shininess is as given.
    int count = pname == GL_SHININESS ? 1 : 4;
    float f[4] = {};
    for (int i = 0; i < count; i++)
        f[i] = pname == GL_SHININESS ? float(v[i]) : float(double(v[i]) / 2147483647.0);
    SetMaterial(face, pname, f);
}
void GLAPIENTRY Materialf(GLenum face, GLenum pname, GLfloat value)
{
    if (pname == GL_SHININESS)
        SetMaterial(face, pname, &value);
}
void GLAPIENTRY Materiali(GLenum face, GLenum pname, GLint value) { Materialf(face, pname, GLfloat(value)); }
void GLAPIENTRY ColorMaterial(GLenum, GLenum mode)
{
    S().colorMaterialMode = mode;
    S().materialDirty = true;
}

} // namespace calls

// Every other entry point does nothing here: it changes no geometry.
template <typename P> struct Ignore;
template <typename R, typename... X> struct Ignore<R(GLAPIENTRY *)(X...)> {
    static R GLAPIENTRY Call(X...) { return R(); }
};

FrameStream::Calls MakeCalls()
{
    FrameStream::Calls table{
#define GL_CALL(kind, ret, name, params, args) reinterpret_cast<void *>(&Ignore<decltype(&::name)>::Call),
#include "app/gl/calls.inc"
#undef GL_CALL
    };
    // static_cast checks that each function has the entry point's type.
#define FOLLOW(name) table[std::size_t(gl::Fn::gl##name)] = reinterpret_cast<void *>(static_cast<decltype(&::gl##name)>(&calls::name))
    FOLLOW(Begin); FOLLOW(End);
    FOLLOW(Vertex2f); FOLLOW(Vertex2d); FOLLOW(Vertex2i); FOLLOW(Vertex2fv); FOLLOW(Vertex2dv);
    FOLLOW(Vertex3f); FOLLOW(Vertex3d); FOLLOW(Vertex3i); FOLLOW(Vertex3fv); FOLLOW(Vertex3dv);
    FOLLOW(Vertex4f); FOLLOW(Vertex4d); FOLLOW(Vertex4fv); FOLLOW(Vertex4dv);
    FOLLOW(Normal3f); FOLLOW(Normal3d); FOLLOW(Normal3fv); FOLLOW(Normal3dv);
    FOLLOW(Color3f); FOLLOW(Color3d); FOLLOW(Color3fv); FOLLOW(Color3dv);
    FOLLOW(Color4f); FOLLOW(Color4d); FOLLOW(Color4fv); FOLLOW(Color4dv);
    FOLLOW(Color3ub); FOLLOW(Color4ub); FOLLOW(Color3ubv); FOLLOW(Color4ubv);
    FOLLOW(MatrixMode); FOLLOW(LoadIdentity); FOLLOW(LoadMatrixf); FOLLOW(LoadMatrixd);
    FOLLOW(MultMatrixf); FOLLOW(MultMatrixd); FOLLOW(PushMatrix); FOLLOW(PopMatrix);
    FOLLOW(Translatef); FOLLOW(Translated); FOLLOW(Scalef); FOLLOW(Scaled); FOLLOW(Rotatef); FOLLOW(Rotated);
    FOLLOW(Enable); FOLLOW(Disable); FOLLOW(PolygonMode); FOLLOW(FrontFace); FOLLOW(CullFace);
    FOLLOW(ShadeModel); FOLLOW(PointSize); FOLLOW(Clear); FOLLOW(ClearColor); FOLLOW(Lightfv);
    FOLLOW(Materialfv); FOLLOW(Materialiv); FOLLOW(Materialf); FOLLOW(Materiali); FOLLOW(ColorMaterial);
#undef FOLLOW
    return table;
}

const FrameStream::Calls &Calls()
{
    static const FrameStream::Calls table = MakeCalls();
    return table;
}

// Makes a reader the one the calls go to while it lives.
class Listening {
public:
    explicit Listening(FixedFunction::State &state) : before_(std::exchange(Active, &state)) {}
    ~Listening() { Active = before_; }
    Listening(const Listening &) = delete;
    Listening &operator=(const Listening &) = delete;

private:
    FixedFunction::State *before_;
};

} // namespace

FixedFunction::FixedFunction() : state_(std::make_unique<State>()) {}
FixedFunction::~FixedFunction() = default;

bool FixedFunction::Read(const Walker &walk)
{
    Listening listening(*state_);
    State &state = *state_;
    return walk(Calls(), [&state](const EyeView &view) {
        state.View();
        state.model.view = view;
    });
}

const Model &FixedFunction::Current()
{
    State &s = *state_;
    s.model.light.reset();
    if (s.lighting && s.light.enabled)
        s.model.light = ModelLight{s.light.direction, s.light.diffuse, s.light.ambient};
    // Nothing is left of a batch whose primitives were all dropped.
    if (std::any_of(s.model.batches.begin(), s.model.batches.end(), [](const ModelBatch &b) { return b.positions.empty(); })) {
        std::erase_if(s.model.batches, [](const ModelBatch &b) { return b.positions.empty(); });
        s.batchOf.clear();
        for (std::size_t i = 0; i < s.model.batches.size(); i++)
            s.batchOf[{s.model.batches[i].material, s.model.batches[i].kind}] = i;
        s.batchFor = {};
    }
    return s.model;
}

} // namespace tesselin
