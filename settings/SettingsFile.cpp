#include "SettingsFile.h"

#include <QSettings>

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

bool writeConfigFile(const QString& path, const QList<ConfigEntry>& rows)
{
    QSettings settings(path, QSettings::IniFormat);
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
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString readManualPort(const QString& path)
{
    const QSettings settings(path, QSettings::IniFormat);
    return settings.value(QStringLiteral("DEVICE/Port")).toString().trimmed();
}

} // namespace zolven
