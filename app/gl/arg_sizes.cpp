// How much data the OpenGL 1.x calls read behind their pointer arguments, so
// that a recording copies exactly that much.
#include "app/gl/arg_sizes.h"
#include "app/gl/boundary.h"

#include <algorithm>

namespace tesselin::gl::sizes {

long NonNegative(long n) { return n > 0 ? n : 0; }

namespace {

GLint RealInteger(GLenum pname)
{
    GLint value = 0;
    reinterpret_cast<decltype(&::glGetIntegerv)>(RealEntry(Fn::glGetIntegerv))(pname, &value);
    return value;
}

// Bytes an image of width x height (x depth, for volumes) reads from client
// memory under the current unpack state: row length, skips, alignment, and
// for volumes image height and skipped images.
long UnpackedBytes(long width, long height, long depth, long groupBits, bool volume)
{
    if (width <= 0 || height <= 0 || depth <= 0 || !ContextCurrent())
        return 0;
    long rowLength = RealInteger(GL_UNPACK_ROW_LENGTH);
    long alignment = std::max<long>(RealInteger(GL_UNPACK_ALIGNMENT), 1);
    long skipPixels = RealInteger(GL_UNPACK_SKIP_PIXELS), skipRows = RealInteger(GL_UNPACK_SKIP_ROWS);
    long imageHeight = volume ? RealInteger(GL_UNPACK_IMAGE_HEIGHT) : 0;
    long skipImages = volume ? RealInteger(GL_UNPACK_SKIP_IMAGES) : 0;
    long pixelsPerRow = rowLength > 0 ? rowLength : width;
    long rowBytes = (pixelsPerRow * groupBits + 7) / 8;
    rowBytes = (rowBytes + alignment - 1) / alignment * alignment;
    long rowsPerImage = imageHeight > 0 ? imageHeight : height;
    long imageBytes = rowBytes * rowsPerImage;
    long lastRowBytes = ((skipPixels + width) * groupBits + 7) / 8;
    return (skipImages + depth - 1) * imageBytes + (skipRows + height - 1) * rowBytes + lastRowBytes;
}

} // namespace

long UnpackedBitmapBytes(long width, long height) { return UnpackedBytes(width, height, 1, 1, false); }

// Bits per pixel of an image of format and type; 0 for a pair OpenGL refuses.
long PixelBits(GLenum format, GLenum type)
{
    long components = 1;
    switch (format) {
    case GL_LUMINANCE_ALPHA: components = 2; break;
    case GL_RGB: case GL_BGR: components = 3; break;
    case GL_RGBA: case GL_BGRA: components = 4; break;
    default: break;
    }
    switch (type) {
    case GL_BITMAP: return components;
    case GL_BYTE: case GL_UNSIGNED_BYTE: return 8 * components;
    case GL_SHORT: case GL_UNSIGNED_SHORT: return 16 * components;
    case GL_INT: case GL_UNSIGNED_INT: case GL_FLOAT: return 32 * components;
    case GL_UNSIGNED_BYTE_3_3_2: case GL_UNSIGNED_BYTE_2_3_3_REV: return 8;
    case GL_UNSIGNED_SHORT_5_6_5: case GL_UNSIGNED_SHORT_5_6_5_REV:
    case GL_UNSIGNED_SHORT_4_4_4_4: case GL_UNSIGNED_SHORT_4_4_4_4_REV:
    case GL_UNSIGNED_SHORT_5_5_5_1: case GL_UNSIGNED_SHORT_1_5_5_5_REV: return 16;
    case GL_UNSIGNED_INT_8_8_8_8: case GL_UNSIGNED_INT_8_8_8_8_REV:
    case GL_UNSIGNED_INT_10_10_10_2: case GL_UNSIGNED_INT_2_10_10_10_REV: return 32;
    default: return 0;
    }
}

long UnpackedImageBytes(long width, long height, GLenum format, GLenum type)
{
    long bits = PixelBits(format, type);
    return bits ? UnpackedBytes(width, height, 1, bits, false) : 0;
}

long UnpackedVolumeBytes(long width, long height, long depth, GLenum format, GLenum type)
{
    long bits = PixelBits(format, type);
    return bits ? UnpackedBytes(width, height, depth, bits, true) : 0;
}

long ListNameBytes(long n, GLenum type)
{
    long size = 0;
    switch (type) {
    case GL_BYTE: case GL_UNSIGNED_BYTE: size = 1; break;
    case GL_SHORT: case GL_UNSIGNED_SHORT: case GL_2_BYTES: size = 2; break;
    case GL_3_BYTES: size = 3; break;
    case GL_INT: case GL_UNSIGNED_INT: case GL_FLOAT: case GL_4_BYTES: size = 4; break;
    default: break;
    }
    return NonNegative(n) * size;
}

// Values read by the vector forms of the parameter calls. A name OpenGL does
// not know is refused by it, so one value is the most it could read.
long LightValues(GLenum pname)
{
    switch (pname) {
    case GL_AMBIENT: case GL_DIFFUSE: case GL_SPECULAR: case GL_POSITION: return 4;
    case GL_SPOT_DIRECTION: return 3;
    default: return 1;
    }
}
long LightModelValues(GLenum pname) { return pname == GL_LIGHT_MODEL_AMBIENT ? 4 : 1; }
long MaterialValues(GLenum pname)
{
    switch (pname) {
    case GL_AMBIENT: case GL_DIFFUSE: case GL_SPECULAR: case GL_EMISSION: case GL_AMBIENT_AND_DIFFUSE: return 4;
    case GL_COLOR_INDEXES: return 3;
    default: return 1;
    }
}
long FogValues(GLenum pname) { return pname == GL_FOG_COLOR ? 4 : 1; }
long TexGenValues(GLenum pname) { return pname == GL_OBJECT_PLANE || pname == GL_EYE_PLANE ? 4 : 1; }
long TexEnvValues(GLenum pname) { return pname == GL_TEXTURE_ENV_COLOR ? 4 : 1; }
long TexParameterValues(GLenum pname) { return pname == GL_TEXTURE_BORDER_COLOR ? 4 : 1; }

long EvaluatorComponents(GLenum target)
{
    switch (target) {
    case GL_MAP1_INDEX: case GL_MAP2_INDEX: case GL_MAP1_TEXTURE_COORD_1: case GL_MAP2_TEXTURE_COORD_1: return 1;
    case GL_MAP1_TEXTURE_COORD_2: case GL_MAP2_TEXTURE_COORD_2: return 2;
    case GL_MAP1_VERTEX_3: case GL_MAP2_VERTEX_3: case GL_MAP1_NORMAL: case GL_MAP2_NORMAL:
    case GL_MAP1_TEXTURE_COORD_3: case GL_MAP2_TEXTURE_COORD_3: return 3;
    case GL_MAP1_VERTEX_4: case GL_MAP2_VERTEX_4: case GL_MAP1_COLOR_4: case GL_MAP2_COLOR_4:
    case GL_MAP1_TEXTURE_COORD_4: case GL_MAP2_TEXTURE_COORD_4: return 4;
    default: return 0;
    }
}
long Map1Values(GLenum target, long stride, long order)
{
    long k = EvaluatorComponents(target);
    return k && order >= 1 && stride >= k ? (order - 1) * stride + k : 0;
}
long Map2Values(GLenum target, long ustride, long uorder, long vstride, long vorder)
{
    long k = EvaluatorComponents(target);
    if (!k || uorder < 1 || vorder < 1 || ustride < k || vstride < k)
        return 0;
    return (uorder - 1) * ustride + (vorder - 1) * vstride + k;
}

} // namespace tesselin::gl::sizes
