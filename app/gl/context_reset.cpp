#include "app/gl/context_reset.h"
#include "app/gl/device.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace tesselin {

namespace {

constexpr GLenum MatrixModes[3] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
constexpr GLenum MatrixReads[3] = {GL_MODELVIEW_MATRIX, GL_PROJECTION_MATRIX, GL_TEXTURE_MATRIX};
constexpr GLenum StackDepthReads[3] = {GL_MODELVIEW_STACK_DEPTH, GL_PROJECTION_STACK_DEPTH, GL_TEXTURE_STACK_DEPTH};
constexpr GLenum Faces[2] = {GL_FRONT, GL_BACK};

// Each light and material value with how many numbers it has, in the order
// ContextState keeps them.
struct Value {
    GLenum name;
    int count;
};
constexpr Value LightParts[] = {
    {GL_AMBIENT, 4}, {GL_DIFFUSE, 4}, {GL_SPECULAR, 4}, {GL_POSITION, 4}, {GL_SPOT_DIRECTION, 3},
    {GL_SPOT_EXPONENT, 1}, {GL_SPOT_CUTOFF, 1}, {GL_CONSTANT_ATTENUATION, 1}, {GL_LINEAR_ATTENUATION, 1},
    {GL_QUADRATIC_ATTENUATION, 1},
};
constexpr Value MaterialParts[] = {
    {GL_AMBIENT, 4}, {GL_DIFFUSE, 4}, {GL_SPECULAR, 4}, {GL_EMISSION, 4}, {GL_SHININESS, 1}, {GL_COLOR_INDEXES, 3},
};
constexpr int Sum(const auto &parts)
{
    int sum = 0;
    for (const Value &part : parts)
        sum += part.count;
    return sum;
}
static_assert(Sum(LightParts) == ContextState::LightValues);
static_assert(Sum(MaterialParts) == ContextState::MaterialValues);

// Calls each(name, numbers) for every part of one light's or face's values,
// laid out one after the other from values.
template <typename T, typename Each> void ForEachPart(const auto &parts, T *values, Each each)
{
    for (const Value &part : parts) {
        each(part.name, values);
        values += part.count;
    }
}

// The functions whose effects the reset undoes: the state they set is in
// ContextState, or they only draw (into a framebuffer the reset clears).
bool Undone(std::string_view name)
{
    static constexpr std::string_view exact[] = {
        "glClearColor", "glClear", "glCullFace", "glFrontFace", "glPointSize", "glLineWidth", "glPolygonMode",
        "glEnable", "glDisable", "glBlendFunc", "glClearDepth", "glDepthFunc", "glDepthMask", "glMatrixMode",
        "glOrtho", "glFrustum", "glViewport", "glPushMatrix", "glPopMatrix", "glLoadIdentity", "glLoadMatrixd",
        "glLoadMatrixf", "glMultMatrixd", "glMultMatrixf", "glRotated", "glRotatef", "glScaled", "glScalef",
        "glTranslated", "glTranslatef", "glBegin", "glEnd", "glShadeModel", "glLightf", "glLighti", "glLightfv",
        "glLightiv", "glLightModelf", "glLightModeli", "glLightModelfv", "glLightModeliv", "glMaterialf",
        "glMateriali", "glMaterialfv", "glMaterialiv", "glColorMaterial",
    };
    if (std::find(std::begin(exact), std::end(exact), name) != std::end(exact))
        return true;
    // The vertex and its current attributes in every form (not the array
    // pointers: glVertexPointer, glColorMask and the like fail these).
    auto numbered = [&](std::string_view prefix, std::string_view digits) {
        return name.size() > prefix.size() && name.starts_with(prefix) &&
               digits.find(name[prefix.size()]) != std::string_view::npos;
    };
    return numbered("glVertex", "234") || numbered("glNormal", "3") || numbered("glColor", "34") ||
           numbered("glTexCoord", "1234") || name.starts_with("glRect");
}

void Set(const RealGl &gl, GLenum cap, GLboolean on)
{
    if (on)
        gl.Enable(cap);
    else
        gl.Disable(cap);
}

// Capabilities first: with colour material off again, setting the current
// colour later leaves the materials alone.
void RestoreMaterials(const RealGl &gl, const ContextState &birth)
{
    for (std::size_t i = 0; i < CapabilityCount; i++)
        Set(gl, ResettableCapabilities[i], birth.capabilities[i]);
    gl.ColorMaterial(GLenum(birth.colourMaterialFace), GLenum(birth.colourMaterialParameter));
    for (int face = 0; face < 2; face++)
        ForEachPart(MaterialParts, birth.materials[face],
                    [&](GLenum name, const GLfloat *v) { gl.Materialfv(Faces[face], name, v); });
    gl.LightModelfv(GL_LIGHT_MODEL_AMBIENT, birth.lightModelAmbient);
    gl.LightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, birth.localViewer);
    gl.LightModeli(GL_LIGHT_MODEL_TWO_SIDE, birth.twoSide);
    gl.LightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, birth.colourControl);
}

void RestoreStacksAndLights(const RealGl &gl, const ContextState &birth)
{
    // Each matrix stack down to one matrix, the one it was born with.
    for (int m = 0; m < 3; m++) {
        gl.MatrixMode(MatrixModes[m]);
        GLint depth = 1;
        gl.GetIntegerv(StackDepthReads[m], &depth);
        for (; depth > birth.stackDepths[m]; depth--)
            gl.PopMatrix();
        gl.LoadMatrixd(birth.matrices[m]);
    }
    // Light positions and directions are kept as the modelview matrix of
    // their call placed them: given again under the identity, they stay.
    gl.MatrixMode(GL_MODELVIEW);
    gl.LoadIdentity();
    for (int light = 0; light < 8; light++)
        ForEachPart(LightParts, birth.lights[light],
                    [&](GLenum name, const GLfloat *v) { gl.Lightfv(GL_LIGHT0 + light, name, v); });
    gl.LoadMatrixd(birth.matrices[0]);
    gl.MatrixMode(GLenum(birth.matrixMode));
}

// The current vertex attributes, how shapes are rasterised, and the
// framebuffer as a new target has it (GlDevice::MakeTarget).
void RestoreRaster(const RealGl &gl, const ContextState &birth)
{
    gl.Color4fv(birth.colour);
    gl.Normal3fv(birth.normal);
    gl.TexCoord4fv(birth.texCoord);
    gl.ShadeModel(GLenum(birth.shadeModel));
    gl.PolygonMode(GL_FRONT, GLenum(birth.polygonMode[0]));
    gl.PolygonMode(GL_BACK, GLenum(birth.polygonMode[1]));
    gl.PointSize(birth.pointSize);
    gl.LineWidth(birth.lineWidth);
    gl.DepthFunc(GLenum(birth.depthFunc));
    gl.DepthMask(GLboolean(birth.depthMask));
    gl.CullFace(GLenum(birth.cullFace));
    gl.FrontFace(GLenum(birth.frontFace));
    gl.BlendFunc(GLenum(birth.blendSource), GLenum(birth.blendDestination));
    gl.Viewport(birth.viewport[0], birth.viewport[1], birth.viewport[2], birth.viewport[3]);
    gl.ClearColor(1, 1, 1, 1);
    gl.ClearDepth(1);
    gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl.ClearColor(birth.clearColour[0], birth.clearColour[1], birth.clearColour[2], birth.clearColour[3]);
    gl.ClearDepth(birth.clearDepth);
}

} // namespace

bool ResettableCapability(GLenum cap)
{
    return std::find(std::begin(ResettableCapabilities), std::end(ResettableCapabilities), cap) !=
           std::end(ResettableCapabilities);
}

bool ResetUndoes(const gl::CommandStream &stream)
{
    static const auto undone = [] {
        std::array<bool, gl::FunctionCount> table{};
        for (std::size_t i = 0; i < gl::FunctionCount; i++)
            table[i] = Undone(gl::NameOf(gl::Fn(i)));
        return table;
    }();
    if (stream.Marked(OtherCapabilityMark))
        return false;
    for (std::size_t i = 0; i < gl::FunctionCount; i++)
        if (stream.Marked(i) && !undone[i])
            return false;
    return true;
}

ContextState CaptureState(const RealGl &gl)
{
    ContextState s{};
    for (int m = 0; m < 3; m++) {
        gl.GetDoublev(MatrixReads[m], s.matrices[m]);
        gl.GetIntegerv(StackDepthReads[m], &s.stackDepths[m]);
    }
    for (int light = 0; light < 8; light++)
        ForEachPart(LightParts, s.lights[light],
                    [&](GLenum name, GLfloat *v) { gl.GetLightfv(GL_LIGHT0 + light, name, v); });
    for (int face = 0; face < 2; face++)
        ForEachPart(MaterialParts, s.materials[face],
                    [&](GLenum name, GLfloat *v) { gl.GetMaterialfv(Faces[face], name, v); });
    gl.GetFloatv(GL_LIGHT_MODEL_AMBIENT, s.lightModelAmbient);
    gl.GetFloatv(GL_CURRENT_COLOR, s.colour);
    gl.GetFloatv(GL_CURRENT_NORMAL, s.normal);
    gl.GetFloatv(GL_CURRENT_TEXTURE_COORDS, s.texCoord);
    gl.GetFloatv(GL_COLOR_CLEAR_VALUE, s.clearColour);
    gl.GetFloatv(GL_DEPTH_CLEAR_VALUE, &s.clearDepth);
    gl.GetFloatv(GL_POINT_SIZE, &s.pointSize);
    gl.GetFloatv(GL_LINE_WIDTH, &s.lineWidth);
    gl.GetIntegerv(GL_VIEWPORT, s.viewport);
    gl.GetIntegerv(GL_POLYGON_MODE, s.polygonMode);
    const std::pair<GLenum, GLint *> integers[] = {
        {GL_MATRIX_MODE, &s.matrixMode},
        {GL_SHADE_MODEL, &s.shadeModel},
        {GL_DEPTH_FUNC, &s.depthFunc},
        {GL_DEPTH_WRITEMASK, &s.depthMask},
        {GL_CULL_FACE_MODE, &s.cullFace},
        {GL_FRONT_FACE, &s.frontFace},
        {GL_BLEND_SRC, &s.blendSource},
        {GL_BLEND_DST, &s.blendDestination},
        {GL_COLOR_MATERIAL_FACE, &s.colourMaterialFace},
        {GL_COLOR_MATERIAL_PARAMETER, &s.colourMaterialParameter},
        {GL_LIGHT_MODEL_LOCAL_VIEWER, &s.localViewer},
        {GL_LIGHT_MODEL_TWO_SIDE, &s.twoSide},
        {GL_LIGHT_MODEL_COLOR_CONTROL, &s.colourControl},
    };
    for (const auto &[name, value] : integers)
        gl.GetIntegerv(name, value);
    for (std::size_t i = 0; i < CapabilityCount; i++)
        s.capabilities[i] = gl.IsEnabled(ResettableCapabilities[i]);
    return s;
}

bool ResetContext(const RealGl &gl, const ContextState &birth)
{
    // A record may end inside glBegin/glEnd, where nothing else is allowed;
    // outside, glEnd only raises an error. Errors pending go, as at birth.
    gl.End();
    for (int i = 0; i < 64 && gl.GetError() != GL_NO_ERROR; i++) {
    }
    RestoreMaterials(gl, birth);
    RestoreStacksAndLights(gl, birth);
    RestoreRaster(gl, birth);
    if (gl.GetError() != GL_NO_ERROR)
        return false;
    return CaptureState(gl) == birth;
}

} // namespace tesselin
