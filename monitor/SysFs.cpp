#include "monitor/SysFs.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zolven::monitor {
namespace {

bool readFd(int fd, std::string& out)
{
    // Read straight into the string, reusing its capacity from the last pass: big procfs files
    // (/proc/cpuinfo on many CPUs) then take few calls and no allocation.
    std::size_t len = 0;
    out.resize(out.capacity() < 4096 ? 4096 : out.capacity());
    for (;;) {
        if (len == out.size())
            out.resize(out.size() * 2);
        const ssize_t n = ::pread(fd, &out[len], out.size() - len, static_cast<off_t>(len));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            out.clear();
            return false;
        }
        if (n == 0)
            break;
        len += static_cast<std::size_t>(n);
    }
    out.resize(len);
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::string trim(const std::string& s)
{
    const char* blanks = " \t\r\n";
    const auto b = s.find_first_not_of(blanks);
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(blanks);
    return s.substr(b, e + 1 - b);
}

bool parseInt(const std::string& text, long long& out)
{
    const std::string t = trim(text);
    if (t.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str(), &end, 10);
    if (errno != 0 || end == t.c_str() || *end != '\0')
        return false;
    out = v;
    return true;
}

bool readFile(const std::string& path, std::string& out)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = readFd(fd, out);
    ::close(fd);
    return ok;
}

bool readLine(const std::string& path, std::string& out)
{
    std::string text;
    if (!readFile(path, text))
        return false;
    out = trim(text.substr(0, text.find('\n')));
    return true;
}

bool readInt(const std::string& path, long long& out)
{
    std::string text;
    return readFile(path, text) && parseInt(text, out);
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool naturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ie = i, je = j;
            while (ie < a.size() && isDigit(a[ie]))
                ++ie;
            while (je < b.size() && isDigit(b[je]))
                ++je;
            const std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
            const auto za = na.find_first_not_of('0'), zb = nb.find_first_not_of('0');
            const std::string sa = za == std::string::npos ? "" : na.substr(za);
            const std::string sb = zb == std::string::npos ? "" : nb.substr(zb);
            if (sa.size() != sb.size())
                return sa.size() < sb.size();
            if (sa != sb)
                return sa < sb;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> listDir(const std::string& path)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

int trailingNumber(const std::string& name)
{
    std::size_t i = name.size();
    while (i > 0 && isDigit(name[i - 1]))
        --i;
    if (i == name.size() || name.size() - i > 9)
        return -1;
    return std::atoi(name.c_str() + i);
}

std::vector<std::string> listNumbered(const std::string& path, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const auto& name : listDir(path)) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (std::all_of(name.begin() + prefix.size(), name.end(), isDigit))
            out.push_back(name);
    }
    return out;
}

KeptFile::~KeptFile()
{
    close();
}

KeptFile::KeptFile(KeptFile&& other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path))
{
    other.m_fd = -1;
}

KeptFile& KeptFile::operator=(KeptFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

bool KeptFile::open(const std::string& path)
{
    close();
    m_path = path;
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return m_fd >= 0;
}

void KeptFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool KeptFile::read(std::string& out) const
{
    return m_fd >= 0 && readFd(m_fd, out);
}

bool KeptFile::readInt(long long& out) const
{
    if (m_fd < 0)
        return false;
    char buf[64];
    ssize_t n;
    do {
        n = ::pread(m_fd, buf, sizeof buf - 1, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return false;
    buf[n] = '\0';
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(buf, &end, 10);
    if (errno != 0 || end == buf)
        return false;
    while (*end == ' ' || *end == '\n' || *end == '\r' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    out = v;
    return true;
}

} // namespace zolven::monitor
