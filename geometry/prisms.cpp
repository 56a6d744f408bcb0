// Solids from flat facets: the walls of a pushed outline (pipe), the sides of
// a fan to an apex (horn) and the unit cube. No caps are drawn.
#include "plugin/tesselin.h"
#include "geometry/geometry.h"
#include "geometry/facet_kernel.h"

#include <stdlib.h>

// The unit square walked counter-clockwise as seen from +z, after its first
// corner: the path points that follow the origin.
static const float SquarePath[4][2] = {{1, 0}, {1, 1}, {0, 1}, {0, 0}};

// The outline of pipe and horn after its first point, the origin: the unit
// square with exactly four tokens, else the x, y pairs from token 4 on. Point
// i sets x or y of b; returns nonzero when b is complete and a step is due (a
// final unpaired x moves the point and draws nothing).
static int PathPointCount(int count)
{
    return count == 4 ? 4 : count - 4;
}

static int NextPathPoint(int count, char **tokens, int i, float *b)
{
    if (count == 4) {
        b[0] = SquarePath[i][0];
        b[1] = SquarePath[i][1];
        return 1;
    }
    b[i % 2] = (float)atof(tokens[4 + i]);
    return i % 2;
}

// pipe dx dy dz [x1 y1 x2 y2 ...]: the offset is the work vector.
const char *CommandPipe(int count, char **tokens)
{
    if (count < 4)
        return WrongTokenCount();
    float *offset = WorkVector;
    ParseVector3(offset, tokens, 1);
    ExtrusionRecord record = {{0, 0, 0}, {1, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    for (int i = 0; i < PathPointCount(count); i++)
        if (NextPathPoint(count, tokens, i, record.b))
            ExtrudeQuadStep(&record, offset);
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
    for (int i = 0; i < PathPointCount(count); i++)
        if (NextPathPoint(count, tokens, i, record.b))
            ApexTriangleStep(&record, apex);
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
