// tesselin: the reference host program.
#include "app/cli/cli.h"

int main(int argc, char **argv)
{
    return tesselin::RunCommandLine(argc, argv);
}
