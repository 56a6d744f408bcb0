// The command window: command lines from the keyboard (with line editing,
// completion and history) or from a pipe, each answered by the session,
// and the window's own dot commands.
#ifndef TESSELIN_APP_CONSOLE_COMMAND_WINDOW_H
#define TESSELIN_APP_CONSOLE_COMMAND_WINDOW_H

#include "app/session/session.h"

namespace tesselin {

// Reads and runs lines until the end of input, .quit, a stop or an
// interrupt; returns the exit status.
int CommandWindow(Session &session);

} // namespace tesselin

#endif
