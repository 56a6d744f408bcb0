// Data-driven drawing: point arrays, polylines, raster text and graduations.
#ifndef TESSELIN_DATA_H
#define TESSELIN_DATA_H

#endif
