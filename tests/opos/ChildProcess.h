// A helper program run as a child process for the tests, talked to in lines over its standard
// input and output.
#pragma once

#include <memory>
#include <string>
#include <vector>

class ChildProcess
{
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Send(const std::string& line);
    // The next line the child printed; empty once the child has ended (on POSIX also when it
    // printed nothing for five seconds).
    std::string ReadLine();
    // Ends the child at once, as a crash would, and waits until it is gone.
    void Kill();

    struct Impl;

private:
    std::unique_ptr<Impl> m;
};
