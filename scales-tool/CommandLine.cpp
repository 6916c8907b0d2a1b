#include "scales-tool/CommandLine.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>

// getopt_long reads the options, in order ('-': the names come back as they stand, unpermuted),
// quietly (':' and opterr 0: the mistakes are told here), from the start again on every call
// (optind 0); its state is the process's, so one line is read at a time.
std::string ReadCommandLine(const Command& command, const std::vector<std::string>& args, Options& o)
{
    std::vector<std::string> words{"tarabo-scales"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<option> longOptions;
    for (const Option& row : command.options)
        longOptions.push_back({row.name + 2, row.kind == Option::Flag ? no_argument : required_argument, nullptr, 0});
    longOptions.push_back({nullptr, 0, nullptr, 0});
    const int argc = int(argv.size() - 1);
    bool commandSeen = false;
    opterr = 0;
    optind = 0;
    for (;;) {
        int index = -1;
        const int got = getopt_long(argc, argv.data(), "-:", longOptions.data(), &index);
        if (got == -1)
            break;
        if (got == 1) { // a name, the command's first
            if (!commandSeen && std::string_view(optarg) == command.name)
                commandSeen = true;
            else if (o.names.size() < command.names.size())
                o.names.push_back(optarg);
            else
                return "\"" + std::string(optarg) + "\" is not expected";
            continue;
        }
        // What was typed, up to any '=' (getopt_long would also take the start of an option's name),
        // the word before the last when the value came apart.
        const bool apart = got != '?' && got != ':' && optarg && optarg == argv[std::size_t(optind - 1)];
        const std::string word = got == '?' && optopt ? std::string{'-', char(optopt)} : argv[std::size_t(optind - (apart ? 2 : 1))];
        const std::string typed = word.substr(0, word.find('='));
        const auto row = std::find_if(command.options.begin(), command.options.end(), [&](const Option& r) { return typed == r.name; });
        if (row == command.options.end() || got == '?' || got == ':' || index < 0) {
            if (row == command.options.end())
                return typed + " is not an option of " + command.name;
            return typed + (row->kind == Option::Flag ? " takes no value" : " needs a value");
        }
        const std::string text = optarg ? optarg : "";
        long long number = 0;
        if (row->kind == Option::Number) {
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
            if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < row->lo || number > row->hi)
                return typed + ": \"" + text + "\" is not " + row->unit + " from " + std::to_string(row->lo) + " to " + std::to_string(row->hi);
        }
        row->set(o, text, number);
    }
    for (int i = optind; i < argc; ++i) { // after "--": names alone
        if (o.names.size() >= command.names.size())
            return "\"" + std::string(argv[std::size_t(i)]) + "\" is not expected";
        o.names.push_back(argv[std::size_t(i)]);
    }
    if (o.names.size() < command.required)
        return std::string(command.names[o.names.size()]) + " is missing";
    return {};
}
