// tarabo-scales' command line: the input's lines as the words typed after the program's name,
// read for a command of each shape (no names, a name that must be there and one that may, every
// kind of option). A line that reads keeps to the command's names and to each number's range.
#include "scales-tool/CommandLine.h"

#include <cstdint>
#include <cstdlib>

namespace {
long long g_number;

const Command kCommands[] = {
    {"list", "", {}, 0, {}, nullptr},
    {"probe", "", {"DEVICE", "FILE"}, 1,
     {{"--quick", Option::Flag, [](Options& o, const std::string&, long long) { o.quick = true; }},
      {"--listen", Option::Text, [](Options& o, const std::string& text, long long) { o.listen = text; }},
      {"--timeout", Option::Number, [](Options&, const std::string&, long long n) { g_number = n; }, -1, 3600000, "ms"}},
     nullptr},
};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty() && words.size() < 64) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        words.emplace_back(input.substr(0, end));
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    for (const Command& command : kCommands) {
        Options o;
        g_number = 0;
        if (ReadCommandLine(command, words, o).empty() &&
            (o.names.size() < command.required || o.names.size() > command.names.size() || g_number < -1 || g_number > 3600000))
            std::abort();
    }
    return 0;
}
