// Putting a used rendering context back in the state it was born in, so that
// a redraw can play a frame's record into the contexts that drew it instead
// of making new ones (a new context costs more than the reset: making it, and
// its first drawing, which fetches shader variants and first touches memory).
//
// Only a record whose every call is undone by the reset qualifies: drawing,
// transforms and the matrix stacks, lights, materials, the capabilities of
// OpenGL 1.2, and the handful of raster settings the plug-in changes.
// Anything else (display lists, textures, pixel transfer, fog settings,
// attribute stacks, evaluators...) keeps to new contexts. After resetting, the
// state is read back and compared with the state at birth; a context that
// does not compare equal is not used.
#ifndef TESSELIN_APP_GL_CONTEXT_RESET_H
#define TESSELIN_APP_GL_CONTEXT_RESET_H

#include "app/gl/boundary.h"
#include "app/gl/call_record.h"

#include <GL/gl.h>

#include <cstddef>

namespace tesselin {

struct RealGl;

// The capabilities glEnable can switch that the reset puts back.
inline constexpr GLenum ResettableCapabilities[] = {
    GL_ALPHA_TEST, GL_AUTO_NORMAL, GL_BLEND, GL_CLIP_PLANE0, GL_CLIP_PLANE1, GL_CLIP_PLANE2, GL_CLIP_PLANE3,
    GL_CLIP_PLANE4, GL_CLIP_PLANE5, GL_COLOR_LOGIC_OP, GL_COLOR_MATERIAL, GL_CULL_FACE, GL_DEPTH_TEST, GL_DITHER,
    GL_FOG, GL_INDEX_LOGIC_OP, GL_LIGHT0, GL_LIGHT1, GL_LIGHT2, GL_LIGHT3, GL_LIGHT4, GL_LIGHT5, GL_LIGHT6,
    GL_LIGHT7, GL_LIGHTING, GL_LINE_SMOOTH, GL_LINE_STIPPLE, GL_NORMALIZE, GL_POINT_SMOOTH, GL_POLYGON_OFFSET_FILL,
    GL_POLYGON_OFFSET_LINE, GL_POLYGON_OFFSET_POINT, GL_POLYGON_SMOOTH, GL_POLYGON_STIPPLE, GL_RESCALE_NORMAL,
    GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_GEN_S,
    GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q,
};
inline constexpr std::size_t CapabilityCount = std::size(ResettableCapabilities);

bool ResettableCapability(GLenum cap);
// The mark the boundary sets in a stream (beside each function's own, its
// Fn) when glEnable or glDisable switched a capability not in the list.
inline constexpr std::size_t OtherCapabilityMark = gl::FunctionCount;
static_assert(OtherCapabilityMark < gl::CommandStream::MarkCount);

// Whether resetting a context undoes everything the calls in stream did.
bool ResetUndoes(const gl::CommandStream &stream);

// Everything the reset puts back, as OpenGL reports it.
struct ContextState {
    static constexpr int LightValues = 4 + 4 + 4 + 4 + 3 + 1 + 1 + 3;
    static constexpr int MaterialValues = 4 + 4 + 4 + 4 + 1 + 3;
    GLdouble matrices[3][16];  // modelview, projection, texture
    GLfloat lights[8][LightValues];
    GLfloat materials[2][MaterialValues]; // front, back
    GLfloat lightModelAmbient[4];
    GLfloat colour[4], normal[3], texCoord[4]; // the current vertex attributes
    GLfloat clearColour[4], clearDepth, pointSize, lineWidth;
    GLint viewport[4], polygonMode[2], stackDepths[3];
    GLint matrixMode, shadeModel, depthFunc, depthMask, cullFace, frontFace, blendSource, blendDestination;
    GLint colourMaterialFace, colourMaterialParameter, localViewer, twoSide, colourControl;
    GLboolean capabilities[CapabilityCount];
    bool operator==(const ContextState &) const = default;
};

// The state of the current context (outside glBegin/glEnd).
ContextState CaptureState(const RealGl &gl);
// Puts the current context back to birth and clears its framebuffer to
// white, as a new target starts. Ends a shape left open first. True when
// the state then reads back equal to birth with no error raised.
bool ResetContext(const RealGl &gl, const ContextState &birth);

} // namespace tesselin

#endif
