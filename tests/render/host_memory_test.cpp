// Allocation failures inside the host's table entries, made on purpose: the
// plug-in calls entries from code that cannot pass exceptions on, so each
// failure must come back as an error that stops the run, never an abort.
#include "tests/render/render_harness.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Allocations of at least this many bytes fail while it is nonzero.
std::atomic<std::size_t> FailFrom{0};

} // namespace

// GCC pairs the free below with new-expressions it inlined from elsewhere in
// this file and warns; these definitions are the pairing.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void *operator new(std::size_t size)
{
    std::size_t limit = FailFrom.load(std::memory_order_relaxed);
    if (limit && size >= limit)
        throw std::bad_alloc();
    if (void *block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

// Fails every allocation the size of a canvas image while it lives.
class CanvasSizedAllocationsFail {
public:
    explicit CanvasSizedAllocationsFail(std::size_t bytes) { FailFrom = bytes; }
    ~CanvasSizedAllocationsFail() { FailFrom = 0; }
    CanvasSizedAllocationsFail(const CanvasSizedAllocationsFail &) = delete;
    CanvasSizedAllocationsFail &operator=(const CanvasSizedAllocationsFail &) = delete;
};

TEST(HostMemory, AllocationFailureInAnEntryStopsTheRunWithAnError)
{
    constexpr int Width = 64, Height = 48;
    struct Case {
        const char *what;
        const char *setUp;   // lines run before allocations fail
        const char *command; // the line whose host entry cannot allocate
    } cases[] = {
        {"anaglyph keeps the left eye", "canvas 64 48 0 persp 30 1 100 14 0.7 0\nfinish", "anaglyph 1 0 0 0 1 1"},
        {"finished frame is handed on", "canvas 64 48 persp 30 1 100 10\nclear 1 0 0", "finish"},
        {"copy of the canvas window", "canvas 64 48", "copy"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        render::RenderSession session;
        std::string setUp = c.setUp, line;
        for (std::size_t at = 0; at < setUp.size();) {
            std::size_t end = std::min(setUp.find('\n', at), setUp.size());
            EXPECT_EQ(session.Command(setUp.substr(at, end - at)), "");
            at = end + 1;
        }
        std::string said;
        {
            CanvasSizedAllocationsFail failing(std::size_t(Width) * Height * 4);
            said = session.Command(c.command);
        }
        EXPECT_NE(said.find("Error! the host ran out of memory during this command; the run stops"),
                  std::string::npos)
            << said;
        EXPECT_TRUE(session.Session().Stopped());
        render::RenderResult result = session.Finish();
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.window.width, Width); // the canvas is still there to be written
    }
}

} // namespace
