#include "scales-tool/ScalesTool.h"

#include <iostream>

int main(int argc, char** argv)
{
    return RunScalesTool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
