// The shell's default action for a file: the desktop's opener, xdg-open,
// started and not waited for. The host may run threads, so between fork and
// exec only async-signal-safe calls are made; the opener's path is found
// before forking. A middle child starts the opener and exits at once, so the
// opener belongs to init from the start and never lingers as our zombie.
//
// An installed module lives in PREFIX/lib/tesselin and its documents in
// PREFIX/share/doc/tesselin: a file that is not where it was asked for is
// opened from there when a document of that name is installed, so `help`
// finds the installed manual from any directory.
#include "platform/portable/gdi.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

enum { OPENED = 33, FILE_NOT_FOUND = 2, OUT_OF_RESOURCES = 0 };

static const char OpenerName[] = "xdg-open";
static const char DocumentFolder[] = "../../share/doc/tesselin/";

int InstalledDocument(const char *module, const char *file, char *found, size_t size)
{
    if (!module || !file || size == 0)
        return 0;
    const char *slash = strrchr(module, '/'), *name = strrchr(file, '/');
    name = name ? name + 1 : file;
    if (!slash || !*name)
        return 0;
    size_t folder = (size_t)(slash - module) + 1, nameLength = strlen(name);
    if (folder + sizeof DocumentFolder - 1 + nameLength + 1 > size)
        return 0;
    memcpy(found, module, folder);
    memcpy(found + folder, DocumentFolder, sizeof DocumentFolder - 1);
    memcpy(found + folder + sizeof DocumentFolder - 1, name, nameLength + 1);
    if (access(found, R_OK) != 0) {
        found[0] = '\0';
        return 0;
    }
    return 1;
}

// The file itself when it exists, else the installed document of its name,
// else the file as asked (the opener then says what is wrong, as before).
static const char *FileToOpen(const char *file, char *installed, size_t size)
{
    Dl_info self;
    if (access(file, F_OK) == 0 || !dladdr((void *)&InstalledDocument, &self))
        return file;
    return InstalledDocument(self.dli_fname, file, installed, size) ? installed : file;
}

// The opener's full path along PATH into found; false when it is not there.
static bool FindOpener(char *found, size_t size)
{
    const char *path = getenv("PATH");
    while (path && *path) {
        const char *end = strchr(path, ':');
        size_t length = end ? (size_t)(end - path) : strlen(path);
        if (length > 0 && length + 1 + sizeof OpenerName <= size) {
            memcpy(found, path, length);
            found[length] = '/';
            memcpy(found + length + 1, OpenerName, sizeof OpenerName);
            if (access(found, X_OK) == 0)
                return true;
        }
        path = end ? end + 1 : NULL;
    }
    return false;
}

// In the grandchild: quiet standard streams, then the opener.
static void RunOpener(const char *opener, const char *file)
{
    int quiet = open("/dev/null", O_RDWR);
    if (quiet >= 0) {
        dup2(quiet, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        if (quiet > 2)
            close(quiet);
    }
    char *const arguments[] = {(char *)OpenerName, (char *)file, NULL};
    execv(opener, arguments);
    _exit(127);
}

HINSTANCE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR, int)
{
    char opener[4096], installed[4096];
    // Only the default action on a file is ours to give.
    if (!file || !*file || (verb && *verb && strcmp(verb, "open") != 0) || (parameters && *parameters))
        return (HINSTANCE)(intptr_t)FILE_NOT_FOUND;
    if (!FindOpener(opener, sizeof opener))
        return (HINSTANCE)(intptr_t)FILE_NOT_FOUND;
    file = FileToOpen(file, installed, sizeof installed);
    pid_t middle = fork();
    if (middle < 0)
        return (HINSTANCE)(intptr_t)OUT_OF_RESOURCES;
    if (middle == 0) {
        setsid();
        pid_t opening = fork();
        if (opening == 0)
            RunOpener(opener, file);
        _exit(opening < 0 ? 1 : 0);
    }
    int status = 0;
    pid_t waited;
    do
        waited = waitpid(middle, &status, 0);
    while (waited < 0 && errno == EINTR);
    // A host that ignores SIGCHLD has its children reaped for it: nothing to tell.
    if (waited < 0)
        return (HINSTANCE)(intptr_t)OPENED;
    return (HINSTANCE)(intptr_t)(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? OPENED : OUT_OF_RESOURCES);
}
