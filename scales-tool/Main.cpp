#include "scales-tool/ScalesTool.h"

int main(int argc, char** argv)
{
    FileOut out(stdout), err(stderr);
    return RunScalesTool(std::vector<std::string>(argv + 1, argv + argc), out, err);
}
