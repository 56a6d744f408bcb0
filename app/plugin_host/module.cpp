#include "app/plugin_host/module.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace tesselin {

std::unique_ptr<Module> Module::Load(const std::string &path, std::string &error)
{
    std::error_code status;
    if (!std::filesystem::exists(path, status)) {
        error = "the plug-in module " + path + " does not exist";
        return nullptr;
    }
    // A path without a slash would send dlopen searching the library path.
    std::string name = path.find('/') == std::string::npos ? "./" + path : path;
    // Bound at once: its OpenGL calls find the host's exported entry points.
    void *handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *reason = dlerror();
        error = "cannot load the plug-in module " + path + ": " + (reason ? reason : "unknown reason");
        return nullptr;
    }
    std::unique_ptr<Module> module(new Module);
    module->handle_ = handle;
    module->load = reinterpret_cast<ZiltorLoadFn>(dlsym(handle, "ZiltorH_Load"));
    module->unload = reinterpret_cast<ZiltorUnloadFn>(dlsym(handle, "ZiltorH_Unload"));
    module->command = reinterpret_cast<ZiltorCommandFn>(dlsym(handle, "ZiltorH_Command"));
    if (!module->load || !module->unload || !module->command) {
        error = path + " is not a Tesselin plug-in module (it lacks ZiltorH_Load, ZiltorH_Unload or ZiltorH_Command)";
        return nullptr;
    }
    return module;
}

Module::~Module()
{
    if (handle_)
        dlclose(handle_);
}

std::string ModuleFor(const std::string &program)
{
    namespace fs = std::filesystem;
    fs::path folder = fs::path(program).parent_path();
    fs::path beside = folder / "tesselin.so";
    fs::path installed = folder.parent_path() / "lib" / "tesselin" / "tesselin.so";
    std::error_code status;
    if (!fs::exists(beside, status) && folder.filename() == "bin" && fs::exists(installed, status))
        return installed.string();
    return beside.string();
}

std::string ModuleBesideProgram()
{
    std::error_code status;
    auto program = std::filesystem::read_symlink("/proc/self/exe", status);
    if (status)
        return "tesselin.so";
    return ModuleFor(program.string());
}

} // namespace tesselin
