#include "app/view/run_child.h"
#include "app/process/file_descriptors.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace tesselin {

// Written by the child as it goes, read by the window: no system call per line.
struct RunChild::Shared {
    std::atomic<int> line{0}, lines{0};
};

namespace {

// What the window asks of a child after its run: the scene from a camera.
struct TurnRequest {
    double azimuth = 0, elevation = 0, distance = 0;
    bool hasDistance = false;
    // Not a turn but an export: the bytes of the file's path follow.
    uint32_t exportBytes = 0;
};

// What leads an outcome in the pipe; the text and the images follow.
struct OutcomeHeader {
    uint32_t magic = 0x54524e31; // "TRN1": a damaged stream shows at once
    uint8_t fromRun = 0, hasPictures = 0, startFault = 0, redrawn = 0, hasLeft = 0, hasRight = 0, exported = 0;
    uint32_t problemBytes = 0;
    double scriptDistance = 0;
    TurnRequest camera;
    int32_t sizes[6] = {}; // width and height of the window picture, the left eye, the right eye
};

constexpr uint32_t Magic = OutcomeHeader{}.magic;

TurnRequest RequestFor(const Camera &camera)
{
    return {camera.azimuth, camera.elevation, camera.distance.value_or(0), camera.distance.has_value()};
}

Camera CameraOf(const TurnRequest &request)
{
    Camera camera{request.azimuth, request.elevation, std::nullopt};
    if (request.hasDistance)
        camera.distance = request.distance;
    return camera;
}

std::size_t PixelBytes(int width, int height)
{
    return std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0)) * sizeof(uint32_t);
}

void Append(std::vector<char> &bytes, const void *data, std::size_t size)
{
    const char *from = static_cast<const char *>(data);
    bytes.insert(bytes.end(), from, from + size);
}


// The child's whole life: the run, then redraws as asked until the window
// closes the request pipe. It never returns and never runs the window
// process's exit handlers (they belong to its display connection).
[[noreturn]] void ServeInChild(const RunSettings &settings, const Camera &camera, int requests, int replies,
                               RunChild::Shared *shared, pid_t window)
{
    // Ends with the window, even when the window is killed.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != window)
        _exit(0);
    signal(SIGPIPE, SIG_IGN);
    StderrSink sink;
    SceneRunner runner(settings.script, settings.modulePath, sink, settings.samples, settings.look);
    runner.OnLine([shared](int line, int lines) {
        shared->lines.store(lines, std::memory_order_relaxed);
        shared->line.store(line, std::memory_order_release);
    });
    auto send = [&](bool fromRun, const SceneOutcome &outcome, const Camera &made, int exported = 0) {
        std::vector<char> bytes = EncodeOutcome({fromRun, outcome, runner.ScriptDistance(), made, exported});
        if (!WriteAll(replies, bytes.data(), bytes.size()))
            _exit(0);
    };
    send(true, runner.Run(camera), camera);
    TurnRequest request;
    while (ReadAll(requests, &request, sizeof request)) {
        if (request.exportBytes > 0) {
            std::string path(request.exportBytes, '\0');
            if (!ReadAll(requests, path.data(), path.size()))
                break;
            send(false, {}, camera, runner.Export(path) ? 1 : 2);
            continue;
        }
        Camera turned = CameraOf(request);
        send(false, runner.Turn(turned), turned);
    }
    _exit(0);
}

} // namespace

std::vector<char> EncodeOutcome(const ChildOutcome &child)
{
    const SceneOutcome &outcome = child.outcome;
    OutcomeHeader header;
    header.fromRun = child.fromRun;
    header.hasPictures = outcome.pictures.has_value();
    header.startFault = outcome.startFault;
    header.redrawn = outcome.redrawn;
    header.exported = uint8_t(child.exported);
    header.problemBytes = uint32_t(outcome.problem.size());
    header.scriptDistance = child.scriptDistance;
    header.camera = RequestFor(child.camera);
    std::vector<const Image *> images;
    if (outcome.pictures) {
        const RunPictures &pictures = *outcome.pictures;
        header.hasLeft = pictures.left.has_value();
        header.hasRight = pictures.right.has_value();
        images = {&pictures.window, pictures.left ? &*pictures.left : nullptr, pictures.right ? &*pictures.right : nullptr};
        for (int i = 0; i < 3; i++)
            if (images[i]) {
                header.sizes[2 * i] = images[i]->width;
                header.sizes[2 * i + 1] = images[i]->height;
            }
    }
    std::vector<char> bytes;
    Append(bytes, &header, sizeof header);
    Append(bytes, outcome.problem.data(), outcome.problem.size());
    for (const Image *image : images)
        if (image)
            Append(bytes, image->pixels.data(), PixelBytes(image->width, image->height));
    return bytes;
}

std::optional<ChildOutcome> DecodeOutcome(const std::vector<char> &bytes, std::size_t &used)
{
    used = 0;
    OutcomeHeader header;
    if (bytes.size() < sizeof header)
        return std::nullopt;
    std::memcpy(&header, bytes.data(), sizeof header);
    bool present[3] = {header.hasPictures != 0, header.hasLeft != 0, header.hasRight != 0};
    std::size_t total = sizeof header + header.problemBytes;
    for (int i = 0; i < 3; i++)
        if (present[i] && header.hasPictures)
            total += PixelBytes(header.sizes[2 * i], header.sizes[2 * i + 1]);
    if (header.magic != Magic) {
        used = bytes.size();
        return std::nullopt;
    }
    if (bytes.size() < total)
        return std::nullopt;
    ChildOutcome child;
    child.fromRun = header.fromRun;
    child.exported = header.exported;
    child.scriptDistance = header.scriptDistance;
    child.camera = CameraOf(header.camera);
    SceneOutcome &outcome = child.outcome;
    outcome.startFault = header.startFault;
    outcome.redrawn = header.redrawn;
    const char *at = bytes.data() + sizeof header;
    outcome.problem.assign(at, header.problemBytes);
    at += header.problemBytes;
    auto image = [&](int i) {
        Image picture(header.sizes[2 * i], header.sizes[2 * i + 1]);
        std::memcpy(picture.pixels.data(), at, picture.pixels.size() * sizeof(uint32_t));
        at += picture.pixels.size() * sizeof(uint32_t);
        return picture;
    };
    if (header.hasPictures) {
        RunPictures pictures;
        pictures.window = image(0);
        if (header.hasLeft)
            pictures.left = image(1);
        if (header.hasRight)
            pictures.right = image(2);
        outcome.pictures = std::move(pictures);
    }
    used = total;
    return child;
}

bool RunChild::Run(const Camera &camera, std::string &error)
{
    Stop();
    void *memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    int requestPipe[2], replyPipe[2];
    if (memory == MAP_FAILED) {
        error = std::string("no memory to share with a run: ") + std::strerror(errno);
        return false;
    }
    shared_ = new (memory) Shared();
    if (pipe2(requestPipe, O_CLOEXEC) != 0 || pipe2(replyPipe, O_CLOEXEC) != 0) {
        error = std::string("no pipe to a run: ") + std::strerror(errno);
        return false;
    }
    pid_t window = getpid();
    pid_t pid = fork();
    if (pid == 0) {
        close(requestPipe[1]);
        close(replyPipe[0]);
        ServeInChild(settings_, camera, requestPipe[0], replyPipe[1], shared_, window);
    }
    close(requestPipe[0]);
    close(replyPipe[1]);
    requests_ = requestPipe[1];
    replies_ = replyPipe[0];
    if (pid < 0) {
        error = std::string("no process for the run: ") + std::strerror(errno);
        Stop();
        return false;
    }
    fcntl(replies_, F_SETFL, O_NONBLOCK);
    pid_ = pid;
    pending_ = 1;
    running_ = true;
    return true;
}

bool RunChild::Turn(const Camera &camera)
{
    if (!Alive() || Busy())
        return false;
    TurnRequest request = RequestFor(camera);
    // The child reads requests only when idle, and this one fits the pipe.
    if (!WriteAll(requests_, reinterpret_cast<const char *>(&request), sizeof request))
        return false;
    pending_ = 1;
    running_ = false;
    return true;
}

bool RunChild::Export(const std::string &path)
{
    if (!Alive() || Busy() || path.empty())
        return false;
    TurnRequest request;
    request.exportBytes = uint32_t(path.size());
    std::vector<char> bytes;
    Append(bytes, &request, sizeof request);
    Append(bytes, path.data(), path.size());
    if (!WriteAll(requests_, bytes.data(), bytes.size()))
        return false;
    pending_ = 1;
    running_ = false;
    return true;
}

void RunChild::Stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        Reap(nullptr);
    }
    for (int *fd : {&requests_, &replies_})
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    if (shared_) {
        shared_->~Shared();
        munmap(shared_, sizeof(Shared));
        shared_ = nullptr;
    }
    received_.clear();
    pending_ = 0;
    running_ = false;
}

void RunChild::Reap(std::optional<ChildEnd> *end)
{
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (end) {
        ChildEnd ended;
        ended.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        ended.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
        ended.place = Place();
        ended.duringRun = running_;
        *end = ended;
    }
    pid_ = -1;
}

RunPlace RunChild::Place() const
{
    if (!shared_)
        return {};
    return {shared_->line.load(std::memory_order_acquire), shared_->lines.load(std::memory_order_relaxed)};
}

std::vector<ChildOutcome> RunChild::Collect(std::optional<ChildEnd> &end)
{
    end.reset();
    std::vector<ChildOutcome> outcomes;
    if (!Alive())
        return outcomes;
    bool ended = false;
    for (;;) {
        char block[1 << 16];
        ssize_t got = read(replies_, block, sizeof block);
        if (got > 0) {
            received_.insert(received_.end(), block, block + got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        ended = got == 0;
        // A picture on its way is read whole before the window goes on.
        std::size_t used = 0;
        bool partial = !received_.empty() && !DecodeOutcome(received_, used) && used == 0;
        if (ended || !partial)
            break;
        pollfd wait{replies_, POLLIN, 0};
        poll(&wait, 1, 100);
    }
    for (;;) {
        std::size_t used = 0;
        auto outcome = DecodeOutcome(received_, used);
        received_.erase(received_.begin(), received_.begin() + std::ptrdiff_t(used));
        if (!outcome)
            break;
        pending_--;
        outcomes.push_back(std::move(*outcome));
    }
    if (ended) {
        Reap(&end);
        Stop();
    }
    return outcomes;
}

} // namespace tesselin
