// A command's line as tarabo-scales reads it: the names it takes and its options, each a flag, a
// text or a whole number in a range, before or after the names, as --option=value or --option value.
#pragma once

#include "scales-tool/Monitor.h"
#include "scales-tool/TextSink.h"

#include <string>
#include <vector>

// The values of every command's options and names; each command reads its own.
struct Options
{
    std::vector<std::string> names; // NAME, DEVICE, FILE, as the command's row lists them
    std::string listen, tokenFile;
    long long timeoutMs = 1000, timeLimitS = 0;
    bool quick = false;
    MonitorOptions monitor;
};

// An option of a command: a flag, a text, or a whole number in decimal from lo to hi (010 is ten).
struct Option
{
    const char* name;
    enum Kind { Flag, Text, Number } kind;
    void (*set)(Options& o, const std::string& text, long long number);
    long long lo = 0, hi = 0;
    const char* unit = "";
};

// The commands, one row each: the names it takes (the first `required` of them needed), its
// options, what it takes (said after a usage error), and what runs it once the line is read.
struct Command
{
    const char* name;
    const char* takes;
    std::vector<const char*> names;
    std::size_t required;
    std::vector<Option> options;
    int (*run)(const Options& o, TextSink& out, TextSink& err);
};

// The one mistake in `args` (the command's name among them) for `command`, or nothing when the line
// reads; `o` takes what it says. getopt's state is the process's, so one line is read at a time.
std::string ReadCommandLine(const Command& command, const std::vector<std::string>& args, Options& o);
