#include "app/process/interrupt.h"
#include "app/process/output_file.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace tesselin {

namespace {

// Read by the signal handler and the long-command watch's thread: atomics
// that need no lock, so the handler may use them.
std::atomic<int> Pending = 0;
std::atomic<int> Running = 0;
static_assert(std::atomic<int>::is_always_lock_free);
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

// The command window's note on a long command comes from a thread of its own
// that waits for a command to pass its deadline (no signal, so no read
// anywhere is interrupted). The watch is never destroyed: its thread waits on
// it until the program ends.
struct LongCommandWatch {
    std::mutex mutex;
    std::condition_variable wake;
    std::optional<std::chrono::steady_clock::time_point> deadline;
};
LongCommandWatch *Watch = nullptr;

void NoteLongCommand()
{
    if (Running && !Pending)
        Say("Note: this command is still running. Ctrl-C lets it end on its own and runs nothing after it; a "
            "second Ctrl-C leaves tesselin at once.\n");
}

[[noreturn]] void WatchLongCommands(LongCommandWatch &watch)
{
    std::unique_lock lock(watch.mutex);
    for (;;) {
        if (!watch.deadline) {
            watch.wake.wait(lock);
        } else if (std::chrono::steady_clock::now() >= *watch.deadline) {
            watch.deadline.reset();
            NoteLongCommand();
        } else {
            watch.wake.wait_until(lock, *watch.deadline);
        }
    }
}

void MakeLongCommandWatch()
{
    if (Watch)
        return;
    Watch = new LongCommandWatch;
    // Signals go to the other threads: the watch's thread starts with them blocked.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    std::thread(WatchLongCommands, std::ref(*Watch)).detach();
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// Notes the command running now once it has run seconds; 0 forgets it.
void WatchCommand(int seconds)
{
    if (!Watch)
        return;
    std::lock_guard lock(Watch->mutex);
    if (seconds > 0)
        Watch->deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    else
        Watch->deadline.reset();
    Watch->wake.notify_one();
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
    MakeLongCommandWatch();
}

void WritesFailInsteadOfEnding()
{
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

bool InterruptPending() { return Pending != 0; }

bool TakeInterrupt()
{
    return Pending.exchange(0) != 0;
}

CommandRunning::CommandRunning()
{
    Running = 1;
    if (WindowMode)
        WatchCommand(LongCommandSeconds);
}

CommandRunning::~CommandRunning()
{
    Running = 0;
    if (WindowMode)
        WatchCommand(0);
}

} // namespace tesselin
