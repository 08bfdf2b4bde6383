#include "Fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::string decode(std::string name)
{
    for (std::size_t at; (at = name.find("%3A")) != std::string::npos;)
        name.replace(at, 3, ":");
    return name;
}

bool copyTree(const fs::path& from, const fs::path& to)
{
    std::error_code ec;
    fs::create_directories(to, ec);
    for (const auto& entry : fs::directory_iterator(from, ec)) {
        const fs::path target = to / decode(entry.path().filename().string());
        if (entry.is_symlink()) {
            fs::create_symlink(decode(fs::read_symlink(entry.path()).string()), target, ec);
        } else if (entry.is_directory()) {
            if (!copyTree(entry.path(), target))
                return false;
        } else {
            fs::copy_file(entry.path(), target, ec);
        }
        if (ec)
            return false;
    }
    return !ec;
}

} // namespace

QString Fixture::sourceDir()
{
    return QStringLiteral(ZOLVEN_MONITOR_FIXTURES);
}

Fixture::Fixture(const QString& profile)
{
    m_ok = m_dir.isValid() && copyTree(fs::path((sourceDir() + "/" + profile).toStdString()),
                                       fs::path(m_dir.path().toStdString()));
}

zolven::monitor::MonitorConfig Fixture::config() const
{
    zolven::monitor::MonitorConfig c;
    c.sysRoot = path(QStringLiteral("sys")).toStdString();
    c.procRoot = path(QStringLiteral("proc")).toStdString();
    c.nvmlLibrary.clear();
    c.pciIds = (sourceDir() + QStringLiteral("/pci.ids")).toStdString();
    return c;
}

QByteArray Fixture::read(const QString& relative) const
{
    QFile f(path(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Fixture::write(const QString& relative, const QByteArray& text)
{
    QFile f(path(relative));
    QDir().mkpath(QFileInfo(f).absolutePath());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text);
}

void Fixture::remove(const QString& relative)
{
    std::error_code ec;
    fs::remove_all(fs::path(path(relative).toStdString()), ec);
}

void Fixture::advanceStat(quint64 busyPerCpu, quint64 idlePerCpu)
{
    advanceStatFile(path(QStringLiteral("proc/stat")), busyPerCpu, idlePerCpu);
}

void Fixture::advanceStatFile(const QString& path, quint64 busyPerCpu, quint64 idlePerCpu)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadWrite))
        return;
    QStringList lines = QString::fromLatin1(in.readAll()).split('\n');
    int cpus = 0;
    for (const QString& l : lines)
        cpus += l.startsWith(QLatin1String("cpu")) && l.at(3).isDigit();
    for (QString& l : lines) {
        if (!l.startsWith(QLatin1String("cpu")))
            continue;
        QStringList f = l.split(' ', Qt::SkipEmptyParts);
        const quint64 n = l.at(3).isDigit() ? 1 : quint64(cpus);
        f[1] = QString::number(f[1].toULongLong() + busyPerCpu * n); // user
        f[4] = QString::number(f[4].toULongLong() + idlePerCpu * n); // idle
        l = f.join(' ');
    }
    in.resize(0);
    in.seek(0);
    in.write(lines.join('\n').toLatin1());
}
