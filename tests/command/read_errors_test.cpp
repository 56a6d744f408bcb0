// Number files that cannot be read: a directory opens on Linux but every read
// of it fails, and a stream may fail part way. A failed read is never taken
// for the end of the file: arrayf answers as for a file it cannot open and
// leaves the store as it was.
#include "data/data.h"
#include "tests/command/data_support.h"
#include "tests/doubles/plugin_fixture.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// A stream that gives the first `good` bytes of `bytes` and then fails with
// EIO, through glibc's custom streams.
struct FailingSource {
    std::string bytes;
    size_t good;
    size_t at = 0;
};

ssize_t ReadFailing(void *cookie, char *buffer, size_t size)
{
    auto *source = static_cast<FailingSource *>(cookie);
    if (source->at >= source->good) {
        errno = EIO;
        return -1;
    }
    size_t n = std::min(size, source->good - source->at);
    std::copy_n(source->bytes.data() + source->at, n, buffer);
    source->at += n;
    return static_cast<ssize_t>(n);
}

std::FILE *OpenFailing(FailingSource &source)
{
    cookie_io_functions_t io = {ReadFailing, nullptr, nullptr, nullptr};
    return fopencookie(&source, "rb", io);
}

TEST(NumberFileReadErrors, FailureAtAnyPointIsReportedNeverTakenForTheEnd)
{
    const std::string numbers = "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20";
    for (size_t good : {size_t{0}, size_t{1}, size_t{7}, numbers.size() - 1}) {
        for (size_t chunk : {size_t{1}, size_t{4}, size_t{64}}) {
            for (int stride : {1, 3, 0}) {
                FailingSource source{numbers, good};
                std::FILE *f = OpenFailing(source);
                ASSERT_NE(f, nullptr);
                EXPECT_EQ(ReadSelectedNumbersInChunks(nullptr, 0, f, stride, 0, chunk), NUMBER_READ_FAILED)
                    << "counting, failing after " << good << " bytes, chunk " << chunk << ", stride " << stride;
                std::fclose(f);
            }
            // The storing pass meets the failure on its own (the file failed
            // only after it was counted).
            FailingSource source{numbers, good};
            std::FILE *f = OpenFailing(source);
            float block[20];
            EXPECT_EQ(ReadSelectedNumbersInChunks(block, 20, f, 1, 0, chunk), NUMBER_READ_FAILED)
                << "storing, failing after " << good << " bytes, chunk " << chunk;
            std::fclose(f);
        }
    }
}

TEST(NumberFileReadErrors, AStreamThatEndsCleanlyIsStillReadWhole)
{
    const std::string numbers = "1 2 3 4";
    FailingSource source{numbers, numbers.size()};
    // Past the good bytes the source fails, so end it cleanly instead.
    cookie_io_functions_t io = {[](void *cookie, char *buffer, size_t size) -> ssize_t {
                                    auto *s = static_cast<FailingSource *>(cookie);
                                    size_t n = std::min(size, s->bytes.size() - s->at);
                                    std::copy_n(s->bytes.data() + s->at, n, buffer);
                                    s->at += n;
                                    return static_cast<ssize_t>(n);
                                },
                                nullptr, nullptr, nullptr};
    std::FILE *f = fopencookie(&source, "rb", io);
    EXPECT_EQ(ReadSelectedNumbersInChunks(nullptr, 0, f, 1, 0, 3), 4);
    std::fclose(f);
}

using ArrayFileErrors = PluginTest;

TEST_F(ArrayFileErrors, ADirectoryAnswersAsAFileThatCannotBeOpened)
{
    LoadWithCanvas();
    std::string folder = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(Run("array 1 2"), "");
    for (const char *selection : {" 1 0", " 0 0", " 3 2", " -2 1", " 1 5"})
        EXPECT_EQ(Run("arrayf " + folder + selection), "Error! Error in opening a file") << selection;
    EXPECT_EQ(ArrayCount, 1) << "the store is as it was";
    ScratchFile file("5 6");
    EXPECT_EQ(Run("arrayf " + file.Path() + " 1 0"), "");
    EXPECT_EQ(ArrayCount, 2);
    EXPECT_EQ(ArrayLengths[1], 2);
}

}
