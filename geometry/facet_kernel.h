// The facet kernel: vector helpers and immediate-mode emitters that send flat
// facets with normals computed from their corners. Used by the solids and by
// the raster text.
#ifndef TESSELIN_FACET_KERNEL_H
#define TESSELIN_FACET_KERNEL_H

#include "plugin/tesselin.h"

// Four vectors A, B, C, D: a wall from the path edge A-B pushed along an offset.
typedef struct ExtrusionRecord {
    Vector a, b, c, d;
} ExtrusionRecord;

// Two vectors A, B: the current path edge of a fan to an apex.
typedef struct EdgeRecord {
    Vector a, b;
} EdgeRecord;

float NormalizeVector(float *v, int oriented);
void CrossProduct(float *out, const float *p, const float *q);
float EmitFacetNormal(const float *a, const float *b, const float *c);
void EmitQuad(const float *a, const float *b, const float *c, const float *d);
void EmitTriangle(const float *a, const float *b, const float *c);
void ExtrudeQuadStep(ExtrusionRecord *record, const float *offset);
void ApexTriangleStep(EdgeRecord *record, const float *apex);

#endif
