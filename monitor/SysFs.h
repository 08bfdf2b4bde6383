#pragma once

// Small, allocation-light file access for /sys and /proc. Paths are always built from an
// injectable root so that tests can serve a fixture tree instead of the machine.

#include <string>
#include <vector>

namespace zolven::monitor {

struct Roots
{
    std::string sys = "/sys";
    std::string proc = "/proc";
};

// Whole file into out; false when it cannot be opened or read.
bool readFile(const std::string& path, std::string& out);
// First line without its line feed and surrounding blanks.
bool readLine(const std::string& path, std::string& out);
bool readInt(const std::string& path, long long& out);
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
// Entry names (no "." or ".."), sorted naturally so that hwmon10 follows hwmon9.
std::vector<std::string> listDir(const std::string& path);
// Entries whose name is prefix followed by a decimal number, in numeric order.
std::vector<std::string> listNumbered(const std::string& path, const std::string& prefix);
// Trailing decimal number of a name like "hwmon12" or "card0"; -1 when there is none.
int trailingNumber(const std::string& name);
std::string trim(const std::string& s);
bool parseInt(const std::string& text, long long& out);
bool naturalLess(const std::string& a, const std::string& b);

// A file opened once and re-read from offset 0 on every pass: sysfs and procfs regenerate
// their text on each read, and pread on a kept descriptor costs a fraction of open+close.
class KeptFile
{
public:
    KeptFile() = default;
    explicit KeptFile(const std::string& path) { open(path); }
    ~KeptFile();
    KeptFile(KeptFile&& other) noexcept;
    KeptFile& operator=(KeptFile&& other) noexcept;
    KeptFile(const KeptFile&) = delete;
    KeptFile& operator=(const KeptFile&) = delete;

    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }

    // Reads the whole file into out (reusing its capacity).
    bool read(std::string& out) const;
    // Reads a file holding one integer, e.g. "45000\n".
    bool readInt(long long& out) const;

private:
    int m_fd = -1;
    std::string m_path;
};

} // namespace zolven::monitor
