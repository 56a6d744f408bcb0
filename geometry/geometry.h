// The facet kernel and the primitive commands built on it.
#ifndef TESSELIN_GEOMETRY_H
#define TESSELIN_GEOMETRY_H

#endif
