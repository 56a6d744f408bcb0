#include "app/process/interrupt.h"
#include "app/process/output_file.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

namespace tesselin {

namespace {

volatile std::sig_atomic_t Pending = 0;
volatile std::sig_atomic_t Running = 0;
volatile std::sig_atomic_t WindowMode = 0;

void Say(const char *text)
{
    // Only write(2) may be used in a signal handler; a short write of a
    // message on the way out is not worth retrying.
    if (write(STDERR_FILENO, text, std::strlen(text)) < 0) {
    }
}

[[noreturn]] void EndNow(int signal)
{
    RemovePendingOutput();
    Say(signal == SIGINT    ? "\ntesselin: interrupted; the run stops and writes no more images\n"
        : signal == SIGTERM ? "\ntesselin: terminated; the run stops and writes no more images\n"
                            : "\ntesselin: hung up; the run stops and writes no more images\n");
    _exit(128 + signal);
}

// The command window's note on a long command, from a timer that runs it on
// a thread of its own (no signal, so no read anywhere is interrupted).
timer_t LongCommandTimer{};
bool TimerMade = false;

void NoteLongCommand(union sigval)
{
    if (Running && !Pending)
        Say("Note: this command is still running. Ctrl-C lets it end on its own and runs nothing after it; a "
            "second Ctrl-C leaves tesselin at once.\n");
}

void MakeLongCommandTimer()
{
    if (TimerMade)
        return;
    struct sigevent event {};
    event.sigev_notify = SIGEV_THREAD;
    event.sigev_notify_function = NoteLongCommand;
    TimerMade = timer_create(CLOCK_MONOTONIC, &event, &LongCommandTimer) == 0;
}

void ArmLongCommandTimer(int seconds)
{
    if (!TimerMade)
        return;
    struct itimerspec when {};
    when.it_value.tv_sec = seconds;
    timer_settime(LongCommandTimer, 0, &when, nullptr);
}

void OnSignal(int signal)
{
    if (!WindowMode || signal != SIGINT)
        EndNow(signal);
    if (Running && Pending)
        EndNow(signal);
    Pending = 1;
    if (Running)
        Say("\nInterrupted: this command cannot be cut short safely and ends on its own; nothing after it "
            "runs. Press Ctrl-C again to leave tesselin at once (unsaved pictures are lost).\n");
}

void Install(bool window)
{
    WindowMode = window;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for input returns, so the reader sees it.
    action.sa_flags = 0;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal ignored by whoever started the program (a job in the
        // background, nohup) stays ignored.
        struct sigaction previous {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

} // namespace

void EndRunOnSignals() { Install(false); }
void NoteInterrupts()
{
    Install(true);
    MakeLongCommandTimer();
}

void WritesFailInsteadOfEnding()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool InterruptPending() { return Pending != 0; }

bool TakeInterrupt()
{
    bool was = Pending != 0;
    Pending = 0;
    return was;
}

CommandRunning::CommandRunning()
{
    Running = 1;
    if (WindowMode)
        ArmLongCommandTimer(LongCommandSeconds);
}

CommandRunning::~CommandRunning()
{
    Running = 0;
    if (WindowMode)
        ArmLongCommandTimer(0); // a zero time disarms it
}

} // namespace tesselin
