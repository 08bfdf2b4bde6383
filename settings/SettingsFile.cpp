#include "SettingsFile.h"

#include "SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

namespace zolven {
namespace {

// The group's spelling in this file: an exact match, else one that differs only in case (what a
// fresh read makes of "[%General]"), else the name itself for a new file.
QString resolveGroup(const QSettings& settings, const QString& group)
{
    const QStringList groups = settings.childGroups();
    if (groups.contains(group))
        return group;
    for (const QString& existing : groups) {
        if (existing.compare(group, Qt::CaseInsensitive) == 0)
            return existing;
    }
    return group;
}

// The row's value in its group, else at the top level: where the INI format puts a section
// written "[General]" or "[GENERAL]", as people write the group by hand.
QVariant storedValue(QSettings& settings, const ConfigEntry& row)
{
    settings.beginGroup(resolveGroup(settings, row.group));
    QVariant stored = settings.value(row.key);
    settings.endGroup();
    if (!stored.isValid() && !row.group.isEmpty())
        stored = settings.value(row.key);
    return stored;
}

// Written and read back alike: a bool is stored as "true" and read as that text.
bool sameValue(const QVariant& written, const QVariant& read)
{
    if (written.userType() == QMetaType::QStringList || read.userType() == QMetaType::QStringList)
        return written.toStringList() == read.toStringList();
    return written == read || written.toString() == read.toString();
}

// Every row already in its group with its value, and no stale copy at the top level: then the
// write would change nothing, and a full disk need not be asked.
bool alreadyStored(const QString& path, const QList<ConfigEntry>& rows)
{
    QSettings settings(path, QSettings::IniFormat);
    for (const ConfigEntry& row : rows) {
        settings.beginGroup(resolveGroup(settings, row.group));
        const QVariant stored = settings.value(row.key);
        settings.endGroup();
        if (!stored.isValid() || (!row.group.isEmpty() && settings.contains(row.key)))
            return false;
        const QVariant wanted = row.kind == ConfigValueKind::Int    ? QVariant(row.value.toInt())
                                : row.kind == ConfigValueKind::Bool ? QVariant(row.value.toBool())
                                                                    : row.value;
        if (!sameValue(wanted, stored))
            return false;
    }
    return true;
}

bool failWith(QString* why, const QString& reason)
{
    if (why)
        *why = reason;
    return false;
}

} // namespace

QList<ConfigEntry> defaultConfigEntries()
{
    const QString group = QStringLiteral("GENERAL");
    return {
        {group, QStringLiteral("Auto Run"), QVariant(kDefaultAutoRun), ConfigValueKind::Bool},
        {group, QStringLiteral("Show Fah"), QVariant(kDefaultShowFah), ConfigValueKind::Bool},
        {group, QStringLiteral("Language"), QVariant(kDefaultLanguage), ConfigValueKind::Int},
    };
}

bool readConfigFile(const QString& path, QList<ConfigEntry>& rows)
{
    if (path.isEmpty())
        return false;
    QSettings settings(path, QSettings::IniFormat);
    bool complete = true;
    for (ConfigEntry& row : rows) {
        const QVariant stored = storedValue(settings, row);
        if (!stored.isValid()) {
            complete = false;
        } else if (row.kind == ConfigValueKind::Int) {
            row.value = stored.toInt();
        } else if (row.kind == ConfigValueKind::Bool) {
            row.value = stored.toBool();
        }
    }
    return complete;
}

bool writeConfigFile(const QString& path, const QList<ConfigEntry>& rows, QString* why)
{
    if (path.isEmpty())
        return failWith(why, QStringLiteral("there is no home folder to keep it in"));
    // QSettings writes in place when it cannot make its temporary file, and puts a file whose
    // last flush failed in place of the old one. So it writes a scratch copy beside the file,
    // which must read back whole before it replaces the file.
    QByteArray before;
    QFile current(path);
    const bool existed = current.exists();
    if (existed) {
        if (!current.open(QIODevice::ReadOnly))
            return failWith(why, current.errorString());
        before = current.readAll();
        current.close();
        if (alreadyStored(path, rows))
            return true;
    }
    QTemporaryFile scratch(QFileInfo(path).absolutePath() + QStringLiteral("/.config.ini.XXXXXX"));
    if (!scratch.open())
        return failWith(why, scratch.errorString());
    if (scratch.write(before) != before.size() || !scratch.flush())
        return failWith(why, scratch.errorString());
    scratch.close();

    QVariantMap intended;
    {
        QSettings settings(scratch.fileName(), QSettings::IniFormat);
        for (const ConfigEntry& row : rows) {
            settings.beginGroup(resolveGroup(settings, row.group));
            if (row.kind == ConfigValueKind::Int)
                settings.setValue(row.key, row.value.toInt());
            else if (row.kind == ConfigValueKind::Bool)
                settings.setValue(row.key, row.value.toBool());
            settings.endGroup();
            // A hand-written copy left at the top level would go stale beside the group's.
            if (!row.group.isEmpty())
                settings.remove(row.key);
        }
        for (const QString& key : settings.allKeys())
            intended.insert(key, settings.value(key));
        settings.sync();
        // A FormatError is the old file's: what could not be read is dropped, as before.
        if (settings.status() == QSettings::AccessError)
            return failWith(why, QStringLiteral("the settings could not be written out"));
    }
    QFile written(scratch.fileName());
    if (!written.open(QIODevice::ReadOnly))
        return failWith(why, written.errorString());
    const QByteArray after = written.readAll();
    written.close();
    const QSettings check(scratch.fileName(), QSettings::IniFormat);
    bool whole = check.status() == QSettings::NoError && check.allKeys().size() == intended.size();
    for (auto it = intended.cbegin(); whole && it != intended.cend(); ++it)
        whole = sameValue(it.value(), check.value(it.key()));
    if (!whole)
        return failWith(why, QStringLiteral("the settings did not read back whole (disk full?)"));
    if (existed && after == before)
        return true;
    return replaceFile(path, after, why);
}

QString readManualPort(const QString& path)
{
    if (path.isEmpty())
        return QString();
    const QSettings settings(path, QSettings::IniFormat);
    return settings.value(QStringLiteral("DEVICE/Port")).toString().trimmed();
}

} // namespace zolven
