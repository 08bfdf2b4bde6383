#include "LogCapture.h"

#include <QtMessageHandler>

#include <mutex>

namespace {

std::mutex g_mutex;
QStringList g_lines;
QtMessageHandler g_previous = nullptr;

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtDebugMsg) {
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

QStringList LogCapture::lines() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lines;
}

QStringList LogCapture::linesStartingWith(const QString& prefix) const
{
    QStringList out;
    for (const QString& line : lines())
        if (line.startsWith(prefix))
            out.append(line);
    return out;
}

int LogCapture::count(const QString& line) const
{
    return int(lines().count(line));
}

void LogCapture::clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
}
