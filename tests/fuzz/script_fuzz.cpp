// Runs a whole script per input: ZiltorH_Load, every line as a command, then
// ZiltorH_Unload, in a folder of real number files and pictures that the
// script can name (numbers.txt, photo.png, topdown.bmp, folder, ...). After
// unload the host must hold none of the canvases made since load. help (it opens a browser) and paths
// that leave the folder are skipped, so the fuzzer reads only these files.
#include "plugin/tesselin.h"
#include "tests/command/picture_files.h"
#include "tests/fuzz/fuzz_host.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t MaxLines = 64;

void WriteFolder(const fs::path &folder)
{
    fs::create_directories(folder / "folder");
    WriteBytes(folder / "numbers.txt", "1 2 3\r\n4 5 6\r\n-7.5 8e2 9\n");
    WriteBytes(folder / "columns.txt", "0 0 0\n1 1 1\n2 4 8\n3 9 27\n4 16 64\n");
    WriteBytes(folder / "empty.txt", "");
    WriteBytes(folder / "odd.txt", std::string("1\0002,3;4\t5 nan inf 1e999 -0x1p3 ", 30));
    TestImage photo = Quadrants(24, 16, Red, Green, Blue, Yellow);
    TestImage clear = photo;
    for (int x = 0; x < clear.width; x++)
        clear.At(x, 0).a = 0;
    WritePicture(folder / "photo.png", clear);
    WritePicture(folder / "photo.jpg", photo);
    WritePicture(folder / "photo.gif", std::vector<TestImage>{clear, photo});
    WritePicture(folder / "photo.bmp", photo);
    WriteBytes(folder / "topdown.bmp", EncodeBmp(photo, true));
    std::string cut = EncodeBmp(photo, false);
    WriteBytes(folder / "cut.bmp", cut.substr(0, cut.size() / 2));
}

fs::path &Folder()
{
    static fs::path folder;
    return folder;
}

void RemoveFolder()
{
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(Folder(), ignored);
}

// The folder lives as long as the process; the fuzzer works inside it.
void EnterFolderOnce()
{
    if (!Folder().empty())
        return;
    Folder() = fs::temp_directory_path() / ("tesselin-script-fuzz-" + std::to_string(::getpid()));
    WriteFolder(Folder());
    fs::current_path(Folder());
    std::atexit(RemoveFolder);
}

bool StaysInFolder(const std::vector<std::string> &tokens)
{
    if (tokens[0] == "help")
        return false;
    if (tokens[0] != "arrayf" && tokens[0] != "picture")
        return true;
    for (const std::string &t : tokens)
        if (t.find('/') != std::string::npos || t.find('\\') != std::string::npos)
            return false;
    return true;
}

void RunLine(std::string_view line)
{
    std::vector<std::string> tokens = fuzz_host::SplitLine(std::string(line));
    if (tokens.empty() || tokens[0][0] == '#' || !StaysInFolder(tokens) || !fuzz_host::WorthRunning(tokens))
        return;
    fuzz_host::RunCommand(tokens);
}

}

int RunFuzzScript(const uint8_t *data, size_t size)
{
    EnterFolderOnce();
    std::string_view script(reinterpret_cast<const char *>(data), size);
    size_t firstCanvas = fuzz_host::NextCanvasNumber();
    const char *name = nullptr;
    ZiltorH_Load(&name, fuzz_host::Table());
    size_t lines = 0;
    while (!script.empty() && lines++ < MaxLines) {
        size_t end = script.find('\n');
        RunLine(script.substr(0, end));
        script = end == std::string_view::npos ? std::string_view() : script.substr(end + 1);
    }
    ZiltorH_Unload();
    if (fuzz_host::LiveCanvasesFrom(firstCanvas) != 0 || LeftCanvas || RightCanvas)
        __builtin_trap(); // unload kept a canvas that load or the script made
    return 0;
}

#ifndef TESSELIN_SCRIPT_FUZZ_NO_ENTRY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return RunFuzzScript(data, size);
}
#endif
