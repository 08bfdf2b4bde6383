#pragma once

// A small harness for the Windows test program: named cases made of checks, a summary line and
// an exit code. No Qt: the program runs under Wine, which has none.

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace wintest {

class Case
{
public:
    // A failed check is recorded and the case goes on, so one run shows every mismatch.
    bool expect(bool ok, const std::string& what);

    template <typename A, typename B>
    bool equal(const A& actual, const B& expected, const std::string& what)
    {
        if (actual == expected)
            return true;
        std::ostringstream out;
        out << what << ": got " << actual << ", expected " << expected;
        m_failures.push_back(out.str());
        return false;
    }

    // Printed under the case's result line, pass or fail.
    void note(const std::string& text) { m_notes.push_back(text); }

    const std::vector<std::string>& failures() const { return m_failures; }
    const std::vector<std::string>& notes() const { return m_notes; }

private:
    std::vector<std::string> m_failures;
    std::vector<std::string> m_notes;
};

class Runner
{
public:
    void run(const std::string& name, const std::function<void(Case&)>& body);

    // Prints "N passed, N failed"; the process's exit code.
    int finish() const;

private:
    int m_passed = 0;
    int m_failed = 0;
};

// Wide (UTF-16) text to UTF-8, for messages.
std::string utf8(const std::wstring& text);

} // namespace wintest
