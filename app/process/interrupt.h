// Room process/ (floor 0): what the program needs from the operating system
// as a process: signals, output files that appear whole or not at all, script
// lines read as they arrive, message severities and timing. It includes no
// other room; every other room may include it.
//
// What Ctrl-C (SIGINT) and the signals that end a program do to a run.
//
// A plug-in command cannot be cut short safely: it holds module-wide state
// and may be half-way through OpenGL's begin/end. So a script run ends at
// once on a signal (the process ends; only the temporary file of an image
// being written is removed), while the command window keeps its session:
// an interrupt stops what would run next, and only a second one during the
// same command ends the program.
#ifndef TESSELIN_APP_PROCESS_INTERRUPT_H
#define TESSELIN_APP_PROCESS_INTERRUPT_H

namespace tesselin {

// For tesselin run: SIGINT, SIGTERM and SIGHUP end the run at once with a
// message and exit status 128 + the signal's number.
void EndRunOnSignals();
// For the command window: SIGINT is noted for the window to act on; SIGTERM
// and SIGHUP end the program as in a run. Reads are interrupted, not resumed.
void NoteInterrupts();

// A write to a reader that went away (SIGPIPE) or past the file size limit
// (SIGXFSZ) fails with an error the writer reports, instead of ending the
// program. The one place these two are ignored: the program at its start and
// whatever starts a child to write into (ffmpeg) calls it.
void WritesFailInsteadOfEnding();

// Whether an interrupt was noted and not yet taken.
bool InterruptPending();
// Takes the noted interrupt: whether there was one.
bool TakeInterrupt();

// Marks a command as running: an interrupt then says that the command ends
// on its own, and a second one ends the program. In the command window, a
// command still running after LongCommandSeconds gets a note saying so and
// what Ctrl-C will do, once.
inline constexpr int LongCommandSeconds = 1;
class CommandRunning {
public:
    CommandRunning();
    ~CommandRunning();
    CommandRunning(const CommandRunning &) = delete;
    CommandRunning &operator=(const CommandRunning &) = delete;
};

} // namespace tesselin

#endif
