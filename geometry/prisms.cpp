// Solids from flat facets: the walls of a pushed outline (pipe), the sides of
// a fan to an apex (horn) and the unit cube. No caps are drawn.
#include "plugin/tesselin.h"
#include "geometry/geometry.h"
#include "geometry/facet_kernel.h"

#include <stdlib.h>

// The unit square walked counter-clockwise as seen from +z, after its first
// corner: the path points that follow the origin.
static const float SquarePath[4][2] = {{1, 0}, {1, 1}, {0, 1}, {0, 0}};

// pipe dx dy dz [x1 y1 x2 y2 ...]: the offset is the work vector.
const char *CommandPipe(int count, char **tokens)
{
    if (count < 4)
        return WrongTokenCount();
    float *offset = WorkVector;
    ParseVector3(offset, tokens, 1);
    ExtrusionRecord record = {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    if (count == 4) {
        for (int i = 0; i < 4; i++) {
            record.b[0] = SquarePath[i][0];
            record.b[1] = SquarePath[i][1];
            ExtrudeQuadStep(&record, offset);
        }
        return NULL;
    }
    for (int i = 4; i < count; i++) {
        if ((i - 4) % 2 == 0) {
            record.b[0] = (float)atof(tokens[i]);
        } else {
            record.b[1] = (float)atof(tokens[i]);
            ExtrudeQuadStep(&record, offset);
        }
    }
    return NULL;
}

// horn ax ay az [x1 y1 x2 y2 ...]: the apex is the work vector.
const char *CommandHorn(int count, char **tokens)
{
    if (count < 4)
        return WrongTokenCount();
    float *apex = WorkVector;
    ParseVector3(apex, tokens, 1);
    EdgeRecord record = {{0, 0, 0}, {1, 0, 0}};
    if (count == 4) {
        for (int i = 0; i < 4; i++) {
            record.b[0] = SquarePath[i][0];
            record.b[1] = SquarePath[i][1];
            ApexTriangleStep(&record, apex);
        }
        return NULL;
    }
    for (int i = 4; i < count; i++) {
        if ((i - 4) % 2 == 0) {
            record.b[0] = (float)atof(tokens[i]);
        } else {
            record.b[1] = (float)atof(tokens[i]);
            ApexTriangleStep(&record, apex);
        }
    }
    return NULL;
}

static const float CubeCorners[8][3] = {
    {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
    {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},
};

// Each face counter-clockwise as seen from outside, so its normal points out:
// bottom, top, front (y = 0), right, back, left.
static const int CubeFaces[6][4] = {
    {3, 2, 1, 0}, {4, 5, 6, 7}, {0, 1, 5, 4},
    {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7},
};

const char *CommandCube(int count, char **)
{
    if (count != 1)
        return WrongTokenCount();
    for (const int *face : CubeFaces)
        EmitQuad(CubeCorners[face[0]], CubeCorners[face[1]], CubeCorners[face[2]], CubeCorners[face[3]]);
    return NULL;
}
