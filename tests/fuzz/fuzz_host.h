// The host of the fuzz targets: a complete host table whose every entry has
// the exact type the plug-in calls it through, canvases that are really made
// and really freed (so a canvas used after DestroyCanvas is caught by
// AddressSanitizer), and a trap for every call that passes the host a canvas
// it does not hold. OpenGL is the recording double with recording off.
#ifndef TESSELIN_FUZZ_HOST_H
#define TESSELIN_FUZZ_HOST_H

#include "host/host_table.h"

#include <string>
#include <vector>

namespace fuzz_host {

// Answers the gates give. By default the host answers as it really is: a
// canvas exists while it holds one, modelling has begun once a 3D canvas has
// its view. The command target forces the answers to reach every path.
struct Gates {
    int forceNoCanvas = 0;
    int forceModeling = -1; // -1: as the host is; 0 or 1: that answer
};

// The host table, filled once. Entries the plug-in never calls stay empty.
HostEntry *Table();
Gates &CurrentGates();
// Canvases are numbered as they are made. The number the next one gets, and
// how many made from a given number on are still held.
size_t NextCanvasNumber();
size_t LiveCanvasesFrom(size_t number);

// A command line as the command window splits it: at spaces and tabs, a token
// in double quotes may hold spaces.
std::vector<std::string> SplitLine(const std::string &line);

// False for lines that would only spend time: the plug-in has no limit on
// the bands of cylinder and torus, so counts above a few thousand run for
// minutes. Such lines are left out of fuzzing, not treated as findings.
bool WorthRunning(const std::vector<std::string> &tokens);

// Calls ZiltorH_Command with the tokens; traps when the result is longer than
// the message buffer.
void RunCommand(std::vector<std::string> &tokens);

}

#endif
