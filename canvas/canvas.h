// Commands of the canvas and image subsystem.
#ifndef TESSELIN_CANVAS_H
#define TESSELIN_CANVAS_H

const char *CommandCanvas(int count, char **tokens);

#endif
