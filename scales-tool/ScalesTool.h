// tarabo-scales: the scales present and the logical names configured, and one reading of a
// named scale, for a terminal with no display. Usage in ScalesTool.cpp and tarabo-scales(1).
#pragma once

#include "scales-tool/TextSink.h"
#include <string>
#include <vector>

// Exit codes: 0 a weight was read (or list/help succeeded), 1 no weight (the result is printed),
// 2 a usage error.
int RunScalesTool(const std::vector<std::string>& args, TextSink& out, TextSink& err);
