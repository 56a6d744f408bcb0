#!/usr/bin/env python3
"""Writes app/gl/calls.inc: every OpenGL 1.0-1.2 entry point of <GL/gl.h>, with how
the reference host's OpenGL boundary treats it.

    python3 scripts/gen_gl_calls.py /usr/include/GL/gl.h > app/gl/calls.inc

Each line is GL_CALL(kind, return type, name, (parameters), (arguments)):
  RECORD  forwarded, and repeated for the right eye of a stereo frame
  DRAW    as RECORD, and it puts something into the frame
  QUERY   forwarded only: it reads state and changes none
  ALONE   forwarded only: it cannot be repeated faithfully (client arrays,
          feedback and selection), so a stereo frame using it is marked inexact
The arguments say how pointers are kept: Span(p, n) copies n elements,
Scratch(p, n) hands the repeat a scratch buffer of n elements to write.
"""
import re
import sys

QUERY = {'glFinish', 'glFlush', 'glReadPixels', 'glAreTexturesResident', 'glGetError',
         'glGetString', 'glIsEnabled', 'glIsList', 'glIsTexture'}
ALONE = {'glVertexPointer', 'glNormalPointer', 'glColorPointer', 'glIndexPointer',
         'glTexCoordPointer', 'glEdgeFlagPointer', 'glInterleavedArrays', 'glArrayElement',
         'glDrawArrays', 'glDrawElements', 'glDrawRangeElements', 'glFeedbackBuffer',
         'glSelectBuffer', 'glRenderMode'}
DRAW = {'glBegin', 'glClear', 'glAccum', 'glCallList', 'glCallLists', 'glBitmap',
        'glDrawPixels', 'glCopyPixels', 'glEvalMesh1', 'glEvalMesh2', 'glEvalPoint1',
        'glEvalPoint2', 'glRectd', 'glRectf', 'glRecti', 'glRects', 'glRectdv', 'glRectfv',
        'glRectiv', 'glRectsv', 'glDrawArrays', 'glDrawElements', 'glDrawRangeElements',
        'glArrayElement'}

# How many elements a pointer parameter holds, for the calls whose name does not say.
SPANS = {
    'glPolygonStipple': {'mask': 'UnpackedBitmapBytes(32, 32)'},
    'glEdgeFlagv': {'flag': '1'},
    'glClipPlane': {'equation': '4'},
    'glLoadMatrixd': {'m': '16'}, 'glLoadMatrixf': {'m': '16'},
    'glMultMatrixd': {'m': '16'}, 'glMultMatrixf': {'m': '16'},
    'glCallLists': {'lists': 'ListNameBytes(n, type)'},
    'glLightfv': {'params': 'LightValues(pname)'}, 'glLightiv': {'params': 'LightValues(pname)'},
    'glLightModelfv': {'params': 'LightModelValues(pname)'},
    'glLightModeliv': {'params': 'LightModelValues(pname)'},
    'glMaterialfv': {'params': 'MaterialValues(pname)'},
    'glMaterialiv': {'params': 'MaterialValues(pname)'},
    'glPixelMapfv': {'values': 'NonNegative(mapsize)'},
    'glPixelMapuiv': {'values': 'NonNegative(mapsize)'},
    'glPixelMapusv': {'values': 'NonNegative(mapsize)'},
    'glBitmap': {'bitmap': 'UnpackedBitmapBytes(width, height)'},
    'glDrawPixels': {'pixels': 'UnpackedImageBytes(width, height, format, type)'},
    'glFogfv': {'params': 'FogValues(pname)'}, 'glFogiv': {'params': 'FogValues(pname)'},
    'glTexGendv': {'params': 'TexGenValues(pname)'}, 'glTexGenfv': {'params': 'TexGenValues(pname)'},
    'glTexGeniv': {'params': 'TexGenValues(pname)'},
    'glTexEnvfv': {'params': 'TexEnvValues(pname)'}, 'glTexEnviv': {'params': 'TexEnvValues(pname)'},
    'glTexParameterfv': {'params': 'TexParameterValues(pname)'},
    'glTexParameteriv': {'params': 'TexParameterValues(pname)'},
    'glTexImage1D': {'pixels': 'UnpackedImageBytes(width, 1, format, type)'},
    'glTexImage2D': {'pixels': 'UnpackedImageBytes(width, height, format, type)'},
    'glTexImage3D': {'pixels': 'UnpackedVolumeBytes(width, height, depth, format, type)'},
    'glTexSubImage1D': {'pixels': 'UnpackedImageBytes(width, 1, format, type)'},
    'glTexSubImage2D': {'pixels': 'UnpackedImageBytes(width, height, format, type)'},
    'glTexSubImage3D': {'pixels': 'UnpackedVolumeBytes(width, height, depth, format, type)'},
    'glDeleteTextures': {'textures': 'NonNegative(n)'},
    'glPrioritizeTextures': {'textures': 'NonNegative(n)', 'priorities': 'NonNegative(n)'},
    'glMap1d': {'points': 'Map1Values(target, stride, order)'},
    'glMap1f': {'points': 'Map1Values(target, stride, order)'},
    'glMap2d': {'points': 'Map2Values(target, ustride, uorder, vstride, vorder)'},
    'glMap2f': {'points': 'Map2Values(target, ustride, uorder, vstride, vorder)'},
    'glRectdv': {'v1': '2', 'v2': '2'}, 'glRectfv': {'v1': '2', 'v2': '2'},
    'glRectiv': {'v1': '2', 'v2': '2'}, 'glRectsv': {'v1': '2', 'v2': '2'},
}
SCRATCH = {'glGenTextures': {'textures': 'NonNegative(n)'}}


def split_params(text):
    text = ' '.join(text.split())
    if text in ('', 'void'):
        return []
    params = []
    for p in text.split(','):
        m = re.match(r'(.*?)(\w+)$', p.strip())
        params.append((m.group(1).strip(), m.group(2)))
    return params


def kind_of(name, params):
    if name in ALONE:
        return 'ALONE'
    if name in QUERY or name.startswith('glGet') or name.startswith('glIs'):
        return 'QUERY'
    return 'DRAW' if name in DRAW else 'RECORD'


def argument(name, ptype, pname):
    if '*' not in ptype:
        return pname
    if pname in SCRATCH.get(name, {}):
        return f'Scratch({pname}, {SCRATCH[name][pname]})'
    if pname in SPANS.get(name, {}):
        return f'Span({pname}, {SPANS[name][pname]})'
    m = re.search(r'([1234])(?:b|s|i|f|d|ub|us|ui)v$', name)
    if m:
        return f'Span({pname}, {m.group(1)})'
    if re.search(r'(?:b|s|i|f|d|ub|us|ui)v$', name):  # glIndexfv and the like: one value
        return f'Span({pname}, 1)'
    raise SystemExit(f'no rule for pointer {pname} of {name}')


def main():
    src = open(sys.argv[1]).read()
    src = src[:src.index(' * GL_ARB_imaging')]
    protos = re.findall(r'GLAPI\s+([\w\s\*]+?)\s*GLAPIENTRY\s+(gl\w+)\s*\(([^)]*)\)\s*;', src, re.S)
    print('// Generated by scripts/gen_gl_calls.py from <GL/gl.h>: the OpenGL 1.0-1.2 entry')
    print('// points, each with how the host\'s OpenGL boundary treats it (see the script).')
    print('// GL_CALL(kind, return type, name, (parameters), (arguments))')
    for ret, name, ptext in protos:
        params = split_params(ptext)
        kind = kind_of(name, params)
        decl = ', '.join(f'{t} {n}' if not t.endswith('*') else f'{t}{n}' for t, n in params)
        if kind in ('QUERY', 'ALONE'):
            args = ', '.join(n for _, n in params)
        else:
            args = ', '.join(argument(name, t, n) for t, n in params)
        ret = ' '.join(ret.split())
        print(f'GL_CALL({kind}, {ret}, {name}, ({decl or "void"}), ({args}))')


main()
