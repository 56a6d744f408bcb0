// The facet kernel and the primitive commands built on it.
#ifndef TESSELIN_GEOMETRY_H
#define TESSELIN_GEOMETRY_H

// Flat figures
const char *CommandTriad(int count, char **tokens);
const char *CommandQuad(int count, char **tokens);
const char *CommandPolygon(int count, char **tokens);
const char *CommandDisk(int count, char **tokens);

// Prisms and pyramids
const char *CommandPipe(int count, char **tokens);
const char *CommandHorn(int count, char **tokens);
const char *CommandCube(int count, char **tokens);

// Round solids
const char *CommandSphere(int count, char **tokens);
const char *CommandCylinder(int count, char **tokens);
const char *CommandTorus(int count, char **tokens);

// The sweep behind cylinder and torus. The ring record is four points P0..P3
// (twelve floats, the per-call corner block): P0 and P1 hold the current and
// the next profile point, P2 and P3 are written by the sweep.
void SweepRing(float *ring, int n, float step, int tube, int closed);
void EmitConeBand(const float *a, const float *b, const float *c, const float *d);
void EmitTubeBand(const float *a, const float *b, const float *c, const float *d);
void EmitEdgeNormal(const float *p, const float *q);
void TubeVertexNormal(float *out, const float *p);

#endif
