// Room plugin_host/ (floor 3): the plug-in as the host sees it: loading the
// module, the host table it is handed and the canvases behind it. May
// include gl/, files/ and the floors below.
//
// The plug-in module, loaded by path, with its three entry points.
#ifndef TESSELIN_APP_PLUGIN_HOST_MODULE_H
#define TESSELIN_APP_PLUGIN_HOST_MODULE_H

#include "host/host_table.h"

#include <memory>
#include <string>

namespace tesselin {

class Module {
public:
    // Loads path; none with the reason in error.
    static std::unique_ptr<Module> Load(const std::string &path, std::string &error);
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    ZiltorLoadFn load = nullptr;
    ZiltorUnloadFn unload = nullptr;
    ZiltorCommandFn command = nullptr;

private:
    Module() = default;
    void *handle_ = nullptr;
};

// The module for a program at program: tesselin.so beside it (a build tree),
// else PREFIX/lib/tesselin/tesselin.so for a program in PREFIX/bin (an
// installation); the path beside it when neither exists, for the message.
std::string ModuleFor(const std::string &program);

// ModuleFor the running program.
std::string ModuleBesideProgram();

} // namespace tesselin

#endif
