#include "TestSupport.h"

#include "settings/SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

PtyDevice::PtyDevice()
{
    int slave = -1;
    char name[PATH_MAX] = {};
    if (::openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
        m_master = -1;
        return;
    }
    // The serial port opens its own descriptor on the slave side.
    ::close(slave);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_name = QString::fromLocal8Bit(name);
}

PtyDevice::~PtyDevice()
{
    hangUp();
}

void PtyDevice::drain()
{
    if (m_master < 0)
        return;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0)
            m_pending.append(buf, static_cast<qsizetype>(n));
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // EAGAIN: nothing more yet; EIO: no slave open
    }
}

QByteArray PtyDevice::take()
{
    drain();
    QByteArray out;
    out.swap(m_pending);
    return out;
}

QByteArray PtyDevice::takeAtLeast(int count, int timeoutMs)
{
    (void)QTest::qWaitFor(
        [&] {
            drain();
            return m_pending.size() >= count;
        },
        timeoutMs);
    return take();
}

void PtyDevice::hangUp()
{
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void PtyDevice::holdLine(bool held)
{
    // Any descriptor of the program's end stops or restarts its output.
    const int fd = ::open(m_name.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return;
    ::tcflow(fd, held ? TCOOFF : TCOON);
    ::close(fd);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

StoredSettings readAsNextRun(const QString& iniPath)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("config.ini"));
    QFile::copy(iniPath, copy);
    QList<zolven::ConfigEntry> rows = zolven::defaultConfigEntries();
    StoredSettings s;
    s.complete = zolven::readConfigFile(copy, rows);
    s.autoRun = rows.at(zolven::RowAutoRun).value.toBool();
    s.showFah = rows.at(zolven::RowShowFah).value.toBool();
    s.language = rows.at(zolven::RowLanguage).value.toInt();
    return s;
}
