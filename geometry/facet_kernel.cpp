// Facets with computed normals. Every facet is its own glBegin/glEnd pair with
// at most one normal before it; nothing is cached or allocated.
#include "geometry/facet_kernel.h"

#include <math.h>

// Scales v to unit length in place and returns its former length, or 0.0 for
// the zero vector, which is left alone. An oriented normal is turned round
// while surfaces face inwards.
float NormalizeVector(float *v, int oriented)
{
    float sum = 0.0f;
    sum += v[0] * v[0];
    sum += v[1] * v[1];
    sum += v[2] * v[2];
    float length = (float)sqrt((double)sum);
    if (length == 0.0f)
        return 0.0f;
    float divisor = oriented && !OrientationOutside ? -length : length;
    v[0] /= divisor;
    v[1] /= divisor;
    v[2] /= divisor;
    return length;
}

void CrossProduct(float *out, const float *p, const float *q)
{
    out[0] = p[1] * q[2] - p[2] * q[1];
    out[1] = p[2] * q[0] - p[0] * q[2];
    out[2] = p[0] * q[1] - p[1] * q[0];
}

// Sends the unit normal of the corners a, b, c (right-hand rule) and returns
// the raw normal's length; a degenerate triple sends nothing and gives 0.0.
float EmitFacetNormal(const float *a, const float *b, const float *c)
{
    Vector u = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    Vector w = {c[0] - b[0], c[1] - b[1], c[2] - b[2]};
    Vector n;
    CrossProduct(n, u, w);
    float length = NormalizeVector(n, 1);
    if (length == 0.0f)
        return 0.0f;
    glNormal3fv(n);
    return length;
}

// When a, b, c give no normal (the two apex corners of a cone band coincide),
// a, b, d are tried instead.
void EmitQuad(const float *a, const float *b, const float *c, const float *d)
{
    if (EmitFacetNormal(a, b, c) == 0.0f)
        EmitFacetNormal(a, b, d);
    glBegin(GL_QUADS);
    glVertex3fv(a);
    glVertex3fv(b);
    glVertex3fv(c);
    glVertex3fv(d);
    glEnd();
}

void EmitTriangle(const float *a, const float *b, const float *c)
{
    EmitFacetNormal(a, b, c);
    glBegin(GL_TRIANGLES);
    glVertex3fv(a);
    glVertex3fv(b);
    glVertex3fv(c);
    glEnd();
}

// One wall A, B, B + offset, A + offset; then A moves on to B. Only x and y
// advance: the path lies in a plane of constant z that the caller keeps.
void ExtrudeQuadStep(ExtrusionRecord *r, const float *offset)
{
    for (int i = 0; i < 3; i++) {
        r->c[i] = r->b[i] + offset[i];
        r->d[i] = r->a[i] + offset[i];
    }
    EmitQuad(r->a, r->b, r->c, r->d);
    r->a[0] = r->b[0];
    r->a[1] = r->b[1];
}

void ApexTriangleStep(EdgeRecord *r, const float *apex)
{
    EmitTriangle(r->a, r->b, apex);
    r->a[0] = r->b[0];
    r->a[1] = r->b[1];
}
