// Render style (solid, wire, dot) and facing (out, in). The module-wide value
// is what the facet emitters read; the polygon mode and the quadric are what
// OpenGL and GLU draw with.
#include "plugin/tesselin.h"
#include "scene/scene.h"

#include <stdlib.h>

// The quadric exists once a canvas command has set up a 3D view. A host that
// reports modelling without one gets the style recorded and the polygon mode
// set; the quadric calls are skipped rather than handed a null object.
static void SetStyle(int style, GLenum polygonMode, GLenum normals, GLenum drawStyle)
{
    RenderStyle = style;
    glPolygonMode(GL_FRONT_AND_BACK, polygonMode);
    if (!Quadric)
        return;
    gluQuadricNormals(Quadric, normals);
    gluQuadricDrawStyle(Quadric, drawStyle);
}

void ApplySolidStyle(void)
{
    SetStyle(STYLE_SOLID, GL_FILL, GLU_FLAT, GLU_FILL);
}

void ApplyWireStyle(void)
{
    SetStyle(STYLE_WIRE, GL_LINE, GLU_SMOOTH, GLU_LINE);
}

void ApplyDotStyle(void)
{
    SetStyle(STYLE_DOT, GL_POINT, GLU_SMOOTH, GLU_POINT);
}

void ApplyOutsideOrientation(void)
{
    OrientationOutside = 1;
    if (Quadric)
        gluQuadricOrientation(Quadric, GLU_OUTSIDE);
}

void ApplyInsideOrientation(void)
{
    OrientationOutside = 0;
    if (Quadric)
        gluQuadricOrientation(Quadric, GLU_INSIDE);
}

const char *CommandOut(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    ApplyOutsideOrientation();
    return NULL;
}

const char *CommandIn(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    ApplyInsideOrientation();
    return NULL;
}

const char *CommandSolid(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    ApplySolidStyle();
    return NULL;
}

// wire [width]: the width goes to OpenGL unchecked.
const char *CommandWire(int count, char **tokens)
{
    if (count != 1 && count != 2)
        return WrongTokenCount();
    ApplyWireStyle();
    if (count == 2)
        glLineWidth((float)atof(tokens[1]));
    return NULL;
}

// dot [size]: the size goes to OpenGL unchecked.
const char *CommandDot(int count, char **tokens)
{
    if (count != 1 && count != 2)
        return WrongTokenCount();
    ApplyDotStyle();
    if (count == 2)
        glPointSize((float)atof(tokens[1]));
    return NULL;
}
