#include "LockLocation.h"

#include "userfiles/ConfigHome.h"

#include <QDebug>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zolven {
namespace {

// Empty when path is a folder of this user's that no one else may enter; made so when missing
// and make is set.
QString unusable(const QString& path, bool make)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno != ENOENT || !make)
            return path + QStringLiteral(" cannot be examined");
        if (::mkdir(name.constData(), 0700) != 0 || ::lstat(name.constData(), &st) != 0)
            return path + QStringLiteral(" cannot be made: ") +
                   QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISDIR(st.st_mode))
        return path + QStringLiteral(" is no folder");
    if (st.st_uid != ::geteuid())
        return path + QStringLiteral(" belongs to another user");
    if (st.st_mode & 077)
        return path + QStringLiteral(" is open to others");
    return QString();
}

QString userName()
{
    const passwd* pw = ::getpwuid(::geteuid());
    return pw && pw->pw_name ? QString::fromLocal8Bit(pw->pw_name) : QString::number(::geteuid());
}

} // namespace

QString lockDirectory(QString* why)
{
    QStringList reasons;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime))
        reasons << QStringLiteral("XDG_RUNTIME_DIR is not set");
    else if (const QString no = unusable(runtime, false); !no.isEmpty())
        reasons << no;
    else
        return runtime;

    // Qt's own fallback, which another user can create first to shut us out.
    const QString temp = QDir::tempPath();
    if (!temp.isEmpty()) {
        const QString shared = temp + QStringLiteral("/runtime-") + userName();
        const QString no = unusable(shared, true);
        if (no.isEmpty()) {
            qDebug().noquote().nospace() << "[Lock] " << reasons.join(QStringLiteral("; "));
            return shared;
        }
        reasons << no;
    }
    // The user's cache: in the home folder, which no other user may write.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    QString own;
    if (cache && *cache == '/') {
        own = QFile::decodeName(cache);
    } else {
        const std::string home = userfiles::homeFolder();
        if (!home.empty())
            own = QFile::decodeName(QByteArray::fromStdString(home)) + QStringLiteral("/.cache");
    }
    if (!own.isEmpty() && QDir().mkpath(own)) {
        const QString folder = own + QStringLiteral("/ZOLVEN");
        const QString no = unusable(folder, true);
        if (no.isEmpty()) {
            qDebug().noquote().nospace() << "[Lock] " << reasons.join(QStringLiteral("; "));
            return folder;
        }
        reasons << no;
    } else {
        reasons << QStringLiteral("there is no home folder");
    }
    if (why)
        *why = reasons.join(QStringLiteral("; "));
    return QString();
}

} // namespace zolven
