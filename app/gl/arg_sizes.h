// How many elements or bytes an OpenGL 1.x call reads behind a pointer
// argument, from its other arguments and, for images, the current unpack
// state. app/gl/calls.inc names these in the arguments it records; a count
// that cannot be known is 0, and such a call is recorded without its data.
#ifndef TESSELIN_APP_GL_ARG_SIZES_H
#define TESSELIN_APP_GL_ARG_SIZES_H

#include <GL/gl.h>

namespace tesselin::gl::sizes {

long NonNegative(long n);
// Bytes of client memory an image, a bitmap or a volume of this shape reads.
long UnpackedBitmapBytes(long width, long height);
long UnpackedImageBytes(long width, long height, GLenum format, GLenum type);
long UnpackedVolumeBytes(long width, long height, long depth, GLenum format, GLenum type);
long PixelBits(GLenum format, GLenum type);
long ListNameBytes(long n, GLenum type);
// Values read by the vector forms of the parameter calls.
long LightValues(GLenum pname);
long LightModelValues(GLenum pname);
long MaterialValues(GLenum pname);
long FogValues(GLenum pname);
long TexGenValues(GLenum pname);
long TexEnvValues(GLenum pname);
long TexParameterValues(GLenum pname);
// Values read by the evaluator maps.
long EvaluatorComponents(GLenum target);
long Map1Values(GLenum target, long stride, long order);
long Map2Values(GLenum target, long ustride, long uorder, long vstride, long vorder);

} // namespace tesselin::gl::sizes

#endif
