// tarabo-scales probe: which serial protocol and line settings a scale on a port answers in.
#pragma once

#include "scales-tool/TextSink.h"
#include <string>
#include <vector>

// args after "probe": DEVICE [--quick] [--time-limit SECONDS]. Exit 0 when a scale answered, 1
// when none did or the port cannot be opened; -1 for bad usage, which the caller explains.
int RunProbeCommand(const std::vector<std::string>& args, TextSink& out, TextSink& err);

// Bytes as hex and as text with the unprintable ones as dots: "02 31 0d  |.1.|".
std::string HexAndText(const std::string& bytes);
