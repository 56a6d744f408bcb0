// tesselin: the reference host program.
#include "app/cli/cli.h"

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("tesselin %s\n", TESSELIN_VERSION);
        return 0;
    }
    return tesselin::RunCommandLine(argc, argv);
}
