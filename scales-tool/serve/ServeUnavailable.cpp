// tarabo-scales serve is built on Linux only so far: on Windows the command says so.
#include "scales-tool/serve/Serve.h"


int RunServeCommand(const std::vector<std::string>&, TextSink&, TextSink& err)
{
    err << "tarabo-scales: serve is not available on Windows yet (see README.md)\n";
    return 2;
}
