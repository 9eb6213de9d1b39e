#pragma once

// A small test runner for the Windows programs, which are built without Qt: named
// cases, rows of tables run one by one, checks that stop a case with the file, line
// and values, and a last line "N passed, N failed" (", N skipped" when some could not
// run). The exit code is 1 when any case failed, or when none passed.
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace check {

struct Failure {
    std::string where;
    std::string what;
};

inline std::string show(std::string_view text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += char(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    if (out.size() > 300)
        out = out.substr(0, 300) + "...(" + std::to_string(text.size()) + " bytes)";
    return out + "\"";
}
inline std::string show(const std::string &text) { return show(std::string_view(text)); }
inline std::string show(const char *text) { return show(std::string_view(text)); }
inline std::string show(bool value) { return value ? "true" : "false"; }
// Before the template below: a path is a range of paths, which would never end.
inline std::string show(const std::filesystem::path &path)
{
    const std::u8string text = path.u8string();
    return show(std::string_view(reinterpret_cast<const char *>(text.data()), text.size()));
}

template <typename T>
std::string show(const T &value)
{
    if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<long long>(value));
    } else if constexpr (std::is_arithmetic_v<T>) {
        return std::to_string(value);
    } else if constexpr (requires { value.has_value(); *value; }) {
        return value.has_value() ? show(*value) : std::string("(none)");
    } else if constexpr (requires { value.begin(); value.end(); }) {
        std::string out = "{";
        for (const auto &item : value)
            out += (out.size() > 1 ? ", " : "") + show(item);
        return out + "}";
    } else {
        return "(value)";
    }
}

[[noreturn]] inline void fail(const char *file, int line, const std::string &what)
{
    std::string name = file;
    const auto slash = name.find_last_of("/\\");
    throw Failure{(slash == std::string::npos ? name : name.substr(slash + 1)) + ":" + std::to_string(line), what};
}

template <typename A, typename B>
void equal(const A &actual, const B &expected, const char *actualText, const char *expectedText, const char *file,
           int line)
{
    if (!(actual == expected))
        fail(file, line,
             std::string(actualText) + " == " + expectedText + "\n      actual:   " + show(actual)
                 + "\n      expected: " + show(expected));
}

class Suite {
public:
    Suite(int argc, char **argv)
        : m_filter(argc > 1 ? argv[1] : "")
    {
    }

    // Runs one case now, unless a filter given on the command line leaves it out.
    void add(const std::string &name, const std::function<void()> &body)
    {
        if (!m_filter.empty() && name.find(m_filter) == std::string::npos)
            return;
        std::string failure;
        try {
            body();
        } catch (const Failure &f) {
            failure = f.where + ": " + f.what;
        } catch (const std::exception &e) {
            failure = std::string("unexpected exception: ") + e.what();
        } catch (...) {
            failure = "unexpected exception";
        }
        if (failure.empty()) {
            ++m_passed;
            std::printf("PASS   %s\n", name.c_str());
        } else {
            ++m_failed;
            std::printf("FAIL!  %s\n   %s\n", name.c_str(), failure.c_str());
        }
        std::fflush(stdout);
    }

    // A case that cannot run here, and why.
    void skip(const std::string &name, const std::string &reason)
    {
        if (!m_filter.empty() && name.find(m_filter) == std::string::npos)
            return;
        ++m_skipped;
        std::printf("SKIP   %s\n   %s\n", name.c_str(), reason.c_str());
        std::fflush(stdout);
    }

    // One case per row, named "<name>: <row's name>".
    template <typename Row, typename Body>
    void table(const std::string &name, const std::vector<Row> &rows, Body body)
    {
        for (const Row &row : rows)
            add(name + ": " + row.name, [&] { body(row); });
    }

    int finish()
    {
        if (m_skipped > 0)
            std::printf("%d passed, %d failed, %d skipped\n", m_passed, m_failed, m_skipped);
        else
            std::printf("%d passed, %d failed\n", m_passed, m_failed);
        std::fflush(stdout);
        return m_failed == 0 && m_passed > 0 ? 0 : 1;
    }

private:
    std::string m_filter;
    int m_passed = 0;
    int m_failed = 0;
    int m_skipped = 0;
};

} // namespace check

#define CHECK(condition)                                                   \
    do {                                                                   \
        if (!(condition))                                                  \
            ::check::fail(__FILE__, __LINE__, "CHECK(" #condition ")");    \
    } while (false)

#define CHECK_MSG(condition, message)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::check::fail(__FILE__, __LINE__, std::string("CHECK(" #condition "): ") + (message)); \
    } while (false)

#define CHECK_EQ(actual, expected) ::check::equal((actual), (expected), #actual, #expected, __FILE__, __LINE__)

#define CHECK_THROWS(Exception, expression)                                                      \
    do {                                                                                         \
        bool thrown_ = false;                                                                    \
        try {                                                                                    \
            (void)(expression);                                                                  \
        } catch (const Exception &) {                                                            \
            thrown_ = true;                                                                      \
        }                                                                                        \
        if (!thrown_)                                                                            \
            ::check::fail(__FILE__, __LINE__, "no " #Exception " from " #expression);            \
    } while (false)
