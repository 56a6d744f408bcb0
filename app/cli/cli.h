// Room cli/ (floor 7): the shell's command line: tesselin run, check and
// view, their options, and main. The top floor: it may include every room,
// and none includes it.
//
// The tesselin program's command line: run a script, or open the command window.
#ifndef TESSELIN_APP_CLI_CLI_H
#define TESSELIN_APP_CLI_CLI_H

namespace tesselin {

// Runs the program with its arguments and returns the exit status.
int RunCommandLine(int argc, char **argv);

} // namespace tesselin

#endif
