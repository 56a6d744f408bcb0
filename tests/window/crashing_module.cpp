// A plug-in module that is the real one, except that the command "crash"
// ends its process with the signal named after it ("crash 11"), as a faulty
// module would: the live window must survive it.
#include <dlfcn.h>
#include <signal.h>

#include <cstdlib>
#include <cstring>

#include "host/host_table.h"

namespace {

struct Real {
    ZiltorLoadFn load = nullptr;
    ZiltorUnloadFn unload = nullptr;
    ZiltorCommandFn command = nullptr;
};

Real &Module()
{
    static Real real = [] {
        Real found;
        void *handle = dlopen(TESSELIN_REAL_MODULE, RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            std::abort();
        found.load = reinterpret_cast<ZiltorLoadFn>(dlsym(handle, "ZiltorH_Load"));
        found.unload = reinterpret_cast<ZiltorUnloadFn>(dlsym(handle, "ZiltorH_Unload"));
        found.command = reinterpret_cast<ZiltorCommandFn>(dlsym(handle, "ZiltorH_Command"));
        return found;
    }();
    return real;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int ZiltorH_Load(const char **name, HostEntry *table)
{
    return Module().load(name, table);
}

extern "C" __attribute__((visibility("default"))) int ZiltorH_Unload()
{
    return Module().unload();
}

extern "C" __attribute__((visibility("default"))) const char *ZiltorH_Command(int count, char **tokens)
{
    if (count >= 1 && std::strcmp(tokens[0], "crash") == 0) {
        int signal = count >= 2 ? std::atoi(tokens[1]) : SIGSEGV;
        // Nothing of the module's own handles it, as in a real fault.
        ::signal(signal, SIG_DFL);
        raise(signal);
    }
    return Module().command(count, tokens);
}
