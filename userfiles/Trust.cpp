#include "userfiles/Trust.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zolven::userfiles {
namespace {

bool trustedOwner(const struct stat& st)
{
    return st.st_uid == ::geteuid() || st.st_uid == 0;
}

bool othersMayWrite(const struct stat& st)
{
    return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd))
        return path;
    return std::string(cwd) + "/" + path;
}

// The item and its own folder: strict.
std::string distrustItem(const std::string& path, bool folder)
{
    struct stat st
    {};
    if (::lstat(path.c_str(), &st) != 0)
        return path + " cannot be examined";
    if (S_ISLNK(st.st_mode))
        return path + " is a symbolic link";
    if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
        return path + " is of the wrong kind";
    if (!trustedOwner(st))
        return path + " belongs to another user";
    if (othersMayWrite(st))
        return path + " is writable by others";
    return std::string();
}

} // namespace

std::string distrust(const std::string& path, Kind kind)
{
    const std::string whole = absolute(path);
    std::string why = distrustItem(whole, kind == Kind::Folder);
    if (!why.empty())
        return why;
    std::string folder = folderOf(whole);
    if (kind == Kind::File) {
        why = distrustItem(folder, true);
        if (!why.empty())
            return why;
        folder = folderOf(folder);
    }
    // Above: what the links resolve to, with the sticky bit as the exception.
    char resolved[PATH_MAX];
    if (!::realpath(folder.c_str(), resolved))
        return folder + " cannot be examined";
    std::string above = resolved;
    for (;;) {
        struct stat st
        {};
        if (::stat(above.c_str(), &st) != 0)
            return above + " cannot be examined";
        if (!trustedOwner(st))
            return above + " belongs to another user";
        if (othersMayWrite(st) && !(st.st_mode & S_ISVTX))
            return above + " is writable by others";
        if (above == "/")
            break;
        above = folderOf(above);
    }
    return std::string();
}

std::string distrustTarget(const std::string& path, Kind kind)
{
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return path + " cannot be examined";
    struct stat st
    {};
    // A link is as good as the folder it sits in: whoever may write there may point it away.
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char linkFolder[PATH_MAX];
        const std::string folder = folderOf(absolute(path));
        if (!::realpath(folder.c_str(), linkFolder))
            return folder + " cannot be examined";
        const std::string why = distrust(linkFolder, Kind::Folder);
        if (!why.empty())
            return why;
    }
    return distrust(resolved, kind);
}

int createOwnFile(const std::string& path, const std::string& ownMark, std::string* why)
{
    const auto fail = [&](const std::string& reason) {
        if (why)
            *why = path + " " + reason;
        return -1;
    };
    constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd >= 0 || errno != EEXIST)
        return fd >= 0 ? fd : fail(std::string("cannot be written: ") + std::strerror(errno));

    // One there already: ours to replace only when this code wrote it.
    const int old = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (old < 0)
        return fail(errno == ELOOP ? "is a symbolic link" : "cannot be examined");
    struct stat st
    {};
    std::string head(ownMark.size(), '\0');
    const bool ours = ::fstat(old, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                      st.st_nlink == 1 &&
                      ::read(old, head.data(), head.size()) == static_cast<ssize_t>(head.size()) &&
                      head == ownMark;
    ::close(old);
    if (!ours)
        return fail("was not written by this program; it is left alone");
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return fail(std::string("cannot be replaced: ") + std::strerror(errno));
    fd = ::open(path.c_str(), flags, 0644);
    return fd >= 0 ? fd : fail(std::string("cannot be written: ") + std::strerror(errno));
}

} // namespace zolven::userfiles
