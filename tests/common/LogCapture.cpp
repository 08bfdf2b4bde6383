#include "LogCapture.h"

#include <QtMessageHandler>

#include <mutex>

namespace {

std::mutex g_mutex;
QStringList g_lines;
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg || type == QtInfoMsg) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_lines.append(message);
    } else if (g_previous) {
        g_previous(type, context, message);
    }
}

} // namespace

LogCapture::LogCapture()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
    g_previous = qInstallMessageHandler(collect);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(g_previous);
}

// A list of its own, not a shared copy: the worker may append while the caller reads, and a
// shared buffer it grows in place once the copy is gone is a race ThreadSanitizer rightly sees.
QStringList LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    QStringList out;
    out.reserve(g_lines.size());
    for (const QString& line : g_lines)
        out.append(line);
    return out;
}

QStringList LogCapture::linesStartingWith(const QString& prefix) const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    QStringList out;
    for (const QString& line : g_lines)
        if (line.startsWith(prefix))
            out.append(line);
    return out;
}

int LogCapture::count(const QString& line) const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return int(g_lines.count(line));
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
}
