// Flat figures in the plane z = 0: triad, quad, polygon with one fixed normal
// along z, and disk through the shared quadric.
#include "plugin/tesselin.h"
#include "geometry/geometry.h"

#include <stdlib.h>

// The flat figures face +z, or -z while surfaces face inwards; their corner
// order never changes with the facing.
static void EmitFlatNormal(void)
{
    glNormal3f(0.0f, 0.0f, OrientationOutside ? 1.0f : -1.0f);
}

// triad [x y | x1 y1 x2 y2]: the tokens replace the last corners of the
// triangle (0,0) (1,0) (0,1).
const char *CommandTriad(int count, char **tokens)
{
    if (count != 1 && count != 3 && count != 5)
        return WrongTokenCount();
    float corners[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    float *replaced = count == 5 ? corners + 3 : corners + 6;
    for (int i = 1; i < count; i += 2) {
        replaced[0] = (float)atof(tokens[i]);
        replaced[1] = (float)atof(tokens[i + 1]);
        replaced += 3;
    }
    EmitFlatNormal();
    glBegin(GL_TRIANGLES);
    glVertex3fv(corners);
    glVertex3fv(corners + 3);
    glVertex3fv(corners + 6);
    glEnd();
    return NULL;
}

// quad [w h | x2 y2 x3 y3 | x1 y1 x2 y2 x3 y3], on the corner block, which
// holds the unit square when a command starts.
const char *CommandQuad(int count, char **tokens)
{
    if (count != 1 && count != 3 && count != 5 && count != 7)
        return WrongTokenCount();
    float *corners = CornerBlock;
    if (count == 3) {
        corners[3] = (float)atof(tokens[1]);
        corners[10] = (float)atof(tokens[2]);
        corners[6] = corners[3];
        corners[7] = corners[10];
    } else if (count > 3) {
        float *replaced = count == 5 ? corners + 6 : corners + 3;
        for (int i = 1; i < count; i += 2) {
            replaced[0] = (float)atof(tokens[i]);
            replaced[1] = (float)atof(tokens[i + 1]);
            replaced += 3;
        }
    }
    EmitFlatNormal();
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; i++)
        glVertex3fv(corners + 3 * i);
    glEnd();
    return NULL;
}

// polygon x1 y1 x2 y2 ...: from the origin through every complete pair; an
// unpaired last number moves the working point's x and sends nothing.
const char *CommandPolygon(int count, char **tokens)
{
    float *point = WorkVector;
    EmitFlatNormal();
    glBegin(GL_POLYGON);
    glVertex3fv(point);
    for (int i = 1; i < count; i++) {
        if (i % 2) {
            point[0] = (float)atof(tokens[i]);
        } else {
            point[1] = (float)atof(tokens[i]);
            point[2] = 0.0f;
            glVertex3fv(point);
        }
    }
    glEnd();
    return NULL;
}

// disk inner loops sweep slices: a partial annulus of outer radius 1 drawn
// with the quadric's current style, normals and orientation. Without a quadric
// there is nothing to draw with, and nothing is drawn.
const char *CommandDisk(int count, char **tokens)
{
    if (count != 5)
        return WrongTokenCount();
    if (!Quadric)
        return NULL;
    gluPartialDisk(Quadric, atof(tokens[1]), 1.0, TokenToInt(tokens[4]), TokenToInt(tokens[2]), 0.0, atof(tokens[3]));
    return NULL;
}
