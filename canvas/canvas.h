// Commands of the canvas and image subsystem.
#ifndef TESSELIN_CANVAS_H
#define TESSELIN_CANVAS_H

#endif
