// Feeds arbitrary command lines to ZiltorH_Command, one command per input.
// Built as a libFuzzer target with clang (command_fuzz), and run over a fixed
// set of generated inputs by the robustness test in every build. The host
// (fuzz_host.h) is loaded once; the control byte makes it answer that there is
// no canvas or that modelling has or has not begun, so commands meet every
// gate.
#include "plugin/tesselin.h"
#include "tests/fuzz/fuzz_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Keywords the fuzzer may use. help opens a browser, and arrayf and picture
// open files named by the input: those three are fuzzed with real files by
// the script target.
const char *const Keywords[] = {
    "copy", "anaglyph", "stop", "canvas", "erase", "clear", "finish", "light", "ambient", "push",
    "pop", "rotate", "scale", "move", "color", "diffuse", "shine", "emit", "out", "in", "solid",
    "wire", "dot", "triad", "quad", "polygon", "disk", "pipe", "horn", "cube", "sphere", "cylinder",
    "torus", "array", "line", "dots", "text", "hgrad", "vgrad", "nonsense"};

void LoadOnce()
{
    static bool loaded = false;
    if (!loaded) {
        const char *name;
        ZiltorH_Load(&name, fuzz_host::Table());
        loaded = true;
    }
}

}

const char *const *FuzzKeywords(size_t *count)
{
    *count = sizeof Keywords / sizeof *Keywords;
    return Keywords;
}

// Input: one control byte (gates), one keyword byte, then the tokens separated
// by spaces or NUL bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    LoadOnce();
    if (size < 2)
        return 0;
    fuzz_host::Gates &gates = fuzz_host::CurrentGates();
    gates.forceNoCanvas = (data[0] & 3) == 0;
    gates.forceModeling = (data[0] & 8) ? -1 : (data[0] & 4) == 0;
    std::vector<std::string> tokens{Keywords[data[1] % (sizeof Keywords / sizeof *Keywords)]};
    std::string token;
    for (size_t i = 2; i < size && tokens.size() < 400; i++) {
        char c = static_cast<char>(data[i]);
        if (c == ' ' || c == '\0') {
            if (!token.empty())
                tokens.push_back(token);
            token.clear();
        } else {
            token += c;
        }
    }
    if (!token.empty())
        tokens.push_back(token);
    if (fuzz_host::WorthRunning(tokens))
        fuzz_host::RunCommand(tokens);
    return 0;
}
