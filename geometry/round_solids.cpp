// Solids of revolution about the z axis: sphere through the quadric, the
// frustum side of cylinder and the torus part swept by SweepRing.
#include "plugin/tesselin.h"
#include "geometry/geometry.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

static int IsFlat(const char *token)
{
    return strcmp(token, FlatKeyword) == 0;
}

// Degrees to radians with the single-precision constant, in single precision.
static float Radians(float degrees)
{
    return degrees * Pi / 180.0f;
}

// sphere stacks slices shading. The quadric's normal mode and the shade model
// stay as set here for what is drawn later. Without a quadric nothing is done.
const char *CommandSphere(int count, char **tokens)
{
    if (count != 4)
        return WrongTokenCount();
    if (!Quadric)
        return NULL;
    if (IsFlat(tokens[3])) {
        gluQuadricNormals(Quadric, GLU_FLAT);
        glShadeModel(GL_FLAT);
    } else {
        gluQuadricNormals(Quadric, GLU_SMOOTH);
        glShadeModel(GL_SMOOTH);
    }
    gluSphere(Quadric, 1.0, TokenToInt(tokens[2]), TokenToInt(tokens[1]));
    return NULL;
}

// cylinder topRadius rings sweep segments shading: the side of a frustum from
// radius topRadius at z = 1 down to radius 1 at z = 0, top row first. A count
// of zero or less draws nothing, and no step is divided by it.
const char *CommandCylinder(int count, char **tokens)
{
    if (count != 6)
        return WrongTokenCount();
    float topRadius = (float)atof(tokens[1]);
    float sweep = (float)atof(tokens[3]);
    float step = Radians(sweep);
    int segments = TokenToInt(tokens[4]);
    int rings = TokenToInt(tokens[2]);
    glShadeModel(GL_SMOOTH);
    SweepFlat = IsFlat(tokens[5]);
    if (rings <= 0 || segments <= 0)
        return NULL;
    float dz = -1.0f / (float)rings;
    float dRadius = (1.0f - topRadius) / (float)rings;
    step = step / (float)segments;
    float *ring = CornerBlock;
    ring[1] = topRadius;
    ring[2] = 1.0f;
    for (int i = 0; i < rings; i++) {
        ring[5] = 1.0f + (float)(i + 1) * dz;
        ring[4] = topRadius + (float)(i + 1) * dRadius;
        SweepRing(ring, segments, step, 0, sweep == 360.0f);
    }
    return NULL;
}

// A tube angle puts the profile point at radius r + sin(angle) and height
// cos(angle): 0 is the top of the tube, 90 degrees its outer equator.
static void PlaceTubePoint(float *point, float angle, float centreRadius)
{
    point[2] = (float)cos((double)angle);
    point[1] = (float)sin((double)angle) + centreRadius;
}

// torus majorRadius tubeStart tubeEnd bands tubeShading sweep segments
// sweepShading: part of a torus of tube radius 1. A count of zero or less
// draws nothing, and no step is divided by it.
const char *CommandTorus(int count, char **tokens)
{
    if (count != 9)
        return WrongTokenCount();
    float centreRadius = (float)atof(tokens[1]);
    float tubeStart = Radians((float)atof(tokens[2]));
    float tubeEnd = Radians((float)atof(tokens[3]));
    float sweep = (float)atof(tokens[6]);
    float step = Radians(sweep);
    int segments = TokenToInt(tokens[7]);
    int bands = TokenToInt(tokens[4]);
    glShadeModel(GL_SMOOTH);
    ProfileFlat = IsFlat(tokens[5]);
    SweepFlat = IsFlat(tokens[8]);
    TubeCentreRadius = centreRadius;
    if (bands <= 0 || segments <= 0)
        return NULL;
    float tubeStep = (tubeEnd - tubeStart) / (float)bands;
    step = step / (float)segments;
    float *ring = CornerBlock;
    PlaceTubePoint(ring, tubeStart, centreRadius);
    for (int i = 0; i < bands; i++) {
        float angle = tubeStart + (float)(i + 1) * tubeStep;
        PlaceTubePoint(ring + 3, angle, centreRadius);
        SweepRing(ring, segments, step, 1, sweep == 360.0f);
    }
    return NULL;
}
