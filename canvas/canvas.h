// Commands of the canvas and image subsystem.
#ifndef TESSELIN_CANVAS_H
#define TESSELIN_CANVAS_H

#include "host/host_table.h"
#include "platform/windows_calls.h"

const char *CommandHelp(int count, char **tokens);
const char *CommandCopy(int count, char **tokens);
const char *CommandAnaglyph(int count, char **tokens);
const char *CommandStop(int count, char **tokens);
const char *CommandCanvas(int count, char **tokens);
const char *CommandErase(int count, char **tokens);
const char *CommandPicture(int count, char **tokens);

// Loads the picture file at path (relative: taken from the current directory)
// and draws it into rect on dc: fitted with its ratio kept and centred, scaled
// about its centre, then moved by the offset. Every failure is silent.
void DrawPictureFile(HDC dc, const RECT *rect, int offsetX, int offsetY, double scale, int relative,
                     const char *path);

// The system's separator between a directory and a name in it.
#ifdef _WIN32
#define PATH_SEPARATOR "\\"
#else
#define PATH_SEPARATOR "/"
#endif

// The current directory, the separator and name, joined into buffer (size
// characters with the NUL). Returns 0 and leaves buffer empty when the
// directory is unknown or the whole does not fit: a path is never used cut.
int JoinCurrentDirectory(char *buffer, int size, const char *name);

#endif
