// Surfaces of revolution about the z axis: a row of bands between two profile
// points, swept through an angle, with normals per facet, per profile edge or
// per vertex as the shading flags and the render style ask.
#include "plugin/tesselin.h"
#include "geometry/geometry.h"
#include "geometry/facet_kernel.h"

#include <math.h>
#include <string.h>

// The normal of the profile edge p -> q, both at one sweep angle: in the plane
// of the axis and the edge, perpendicular to the edge and pointing away from
// the origin. Sent even when it is zero, so the band always has one.
void EmitEdgeNormal(const float *p, const float *q)
{
    Vector t, n;
    Vector e = {q[0] - p[0], q[1] - p[1], q[2] - p[2]};
    CrossProduct(t, p, q);
    CrossProduct(n, e, t);
    NormalizeVector(n, 1);
    glNormal3fv(n);
}

// Unit vector from the nearest point of the tube's centre circle to p.
void TubeVertexNormal(float *out, const float *p)
{
    out[0] = p[0];
    out[1] = p[1];
    out[2] = 0.0f;
    NormalizeVector(out, 0);
    out[0] = out[0] * TubeCentreRadius;
    out[1] = out[1] * TubeCentreRadius;
    out[0] = p[0] - out[0];
    out[1] = p[1] - out[1];
    out[2] = p[2] - out[2];
    NormalizeVector(out, 0);
}

// A cone band: one facet normal when flat in the solid style; otherwise the
// first two corners keep the normal of the band's first edge (already current)
// and the last two get the normal of its second edge.
void EmitConeBand(const float *a, const float *b, const float *c, const float *d)
{
    if (SweepFlat && RenderStyle == STYLE_SOLID) {
        EmitQuad(a, b, c, d);
        return;
    }
    glBegin(GL_QUADS);
    glVertex3fv(a);
    glVertex3fv(b);
    EmitEdgeNormal(c, d);
    glVertex3fv(c);
    glVertex3fv(d);
    glEnd();
}

// Sum of the tube normals of two corners, as an oriented unit vector.
static void PairedTubeNormal(float *out, const float *p, const float *q)
{
    Vector np, nq;
    TubeVertexNormal(np, p);
    TubeVertexNormal(nq, q);
    out[0] = np[0] + nq[0];
    out[1] = np[1] + nq[1];
    out[2] = np[2] + nq[2];
    NormalizeVector(out, 1);
}

// The oriented unit normal at a corner of a tube band. The next band of a
// row begins on the corners this one ends on, so the last two corners are
// remembered with everything their normals depend on: a corner whose
// position, centre radius and orientation match bit for bit gets the normal
// it had, which is what working it out again would give. This halves the
// square roots and divisions of a smooth torus.
struct TubeCorner {
    Vector position, normal;
    float centreRadius;
    int outside, set;
};
static TubeCorner LastTubeCorners[2];
static int NextTubeCorner;

static void TubeCornerNormal(float *out, const float *p)
{
    for (const TubeCorner &corner : LastTubeCorners)
        if (corner.set && corner.outside == OrientationOutside &&
            memcmp(&corner.centreRadius, &TubeCentreRadius, sizeof(float)) == 0 &&
            memcmp(corner.position, p, sizeof(Vector)) == 0) {
            memcpy(out, corner.normal, sizeof(Vector));
            return;
        }
    TubeVertexNormal(out, p);
    NormalizeVector(out, 1);
    TubeCorner &kept = LastTubeCorners[NextTubeCorner];
    NextTubeCorner = 1 - NextTubeCorner;
    memcpy(kept.position, p, sizeof(Vector));
    memcpy(kept.normal, out, sizeof(Vector));
    kept.centreRadius = TubeCentreRadius;
    kept.outside = OrientationOutside;
    kept.set = 1;
}

// A torus band; a and d share the profile point, as do b and c, while a and b
// share the sweep angle, as do c and d.
void EmitTubeBand(const float *a, const float *b, const float *c, const float *d)
{
    if (SweepFlat && ProfileFlat && RenderStyle == STYLE_SOLID) {
        EmitQuad(a, b, c, d);
        return;
    }
    Vector na, nb;
    glBegin(GL_QUADS);
    if (RenderStyle != STYLE_SOLID || (!SweepFlat && !ProfileFlat)) {
        const float *corners[4] = {a, b, c, d};
        for (const float *v : corners) {
            TubeCornerNormal(na, v);
            glNormal3fv(na);
            glVertex3fv(v);
        }
    } else if (SweepFlat) {
        // Flat around the axis: one normal per profile point.
        PairedTubeNormal(na, a, d);
        PairedTubeNormal(nb, b, c);
        glNormal3fv(na);
        glVertex3fv(a);
        glNormal3fv(nb);
        glVertex3fv(b);
        glVertex3fv(c);
        glNormal3fv(na);
        glVertex3fv(d);
    } else {
        // Flat across the tube: one normal per sweep angle.
        PairedTubeNormal(na, a, b);
        PairedTubeNormal(nb, c, d);
        glNormal3fv(na);
        glVertex3fv(a);
        glVertex3fv(b);
        glNormal3fv(nb);
        glVertex3fv(c);
        glVertex3fv(d);
    }
    glEnd();
}

// One row of n bands between the profile points held in P0 and P1 of the ring
// record (y: radius, z: height). The sweep runs from the +y axis towards +x
// in steps of step radians; a closed sweep ends exactly on its first corners,
// since the angle constant makes 360 degrees fall a little short of a turn.
// Afterwards P0 holds the second profile point, ready for the next row.
void SweepRing(float *ring, int n, float step, int tube, int closed)
{
    float *p0 = ring, *p1 = ring + 3, *p2 = ring + 6, *p3 = ring + 9;
    p3[2] = p0[2];
    p2[2] = p1[2];
    float radiusA = p0[1], radiusB = p1[1];
    p0[1] = radiusA;
    p0[0] = 0.0f;
    p1[1] = radiusB;
    p1[0] = 0.0f;
    if (!tube)
        EmitEdgeNormal(p0, p1);
    for (int k = 0; k < n; k++) {
        float angle = (float)(k + 1) * step;
        float c = (float)cos((double)angle);
        float s = (float)sin((double)angle);
        if (k == n - 1 && closed) {
            c = 1.0f;
            s = 0.0f;
        }
        p3[1] = radiusA * c;
        p3[0] = radiusA * s;
        p2[1] = radiusB * c;
        p2[0] = radiusB * s;
        if (tube)
            EmitTubeBand(p1, p0, p3, p2);
        else
            EmitConeBand(p1, p0, p3, p2);
        p0[0] = p3[0];
        p0[1] = p3[1];
        p1[0] = p2[0];
        p1[1] = p2[1];
    }
    p0[2] = p1[2];
    p0[1] = radiusB;
}
