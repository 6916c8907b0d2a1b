// Where tarabo-scales writes its text: stdout and stderr (FileOut), or a string (StringOut, for
// the tests and benchmarks that run the tool in their own process). Text and whole numbers only,
// written as they are: the tool formats what else it prints itself, without the C++ streams and
// locales, which would be most of the Windows program.
#pragma once

#include <charconv>
#include <concepts>
#include <cstdio>
#include <string>
#include <string_view>
#include <type_traits>

class TextSink
{
public:
    virtual ~TextSink() = default;

    TextSink& operator<<(std::string_view text)
    {
        Write(text);
        return *this;
    }
    TextSink& operator<<(char c) { return *this << std::string_view(&c, 1); }
    template <std::integral T>
        requires(!std::same_as<T, char> && !std::same_as<T, bool>)
    TextSink& operator<<(T value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        return *this << std::string_view(digits, std::size_t(end - digits));
    }

    virtual void Write(std::string_view text) = 0;
    // What is written so far goes out now (monitor's lines, one look at the device at a time).
    virtual void Flush() {}
    // The stream written to, or null for a string.
    virtual std::FILE* File() const { return nullptr; }
};

class FileOut : public TextSink
{
public:
    explicit FileOut(std::FILE* file) : m_file(file) {}
    void Write(std::string_view text) override { std::fwrite(text.data(), 1, text.size(), m_file); }
    void Flush() override { std::fflush(m_file); }
    std::FILE* File() const override { return m_file; }

private:
    std::FILE* m_file;
};

class StringOut : public TextSink
{
public:
    void Write(std::string_view text) override { m_text.append(text); }
    const std::string& str() const { return m_text; }
    void str(std::string text) { m_text = std::move(text); }

private:
    std::string m_text;
};
