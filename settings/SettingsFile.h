#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QtGlobal>

// config.ini: the three settings under group "GENERAL", read and written by position, plus an
// optional manual port that only people write:
//
//   [%General]
//   Auto%20Run=true
//   Language=2
//   Show%20Fah=false
//
//   [DEVICE]
//   Port=/dev/ttyUSB0
//
// "GENERAL" clashes with the INI format's reserved "General" section: QSettings writes it as
// "[%General]" and a fresh read calls the group "General". On platforms where INI keys are case
// sensitive the group is therefore looked up by the spelling the file already uses. A section
// written "[General]" or "[GENERAL]" (any case) holds top-level keys: a key missing from the
// group is looked for there, and the next write moves it into the group.

namespace zolven {

enum class ConfigValueKind : qint32
{
    Int = 3,
    Bool = 4
};

struct ConfigEntry
{
    QString group;
    QString key;
    QVariant value;
    ConfigValueKind kind = ConfigValueKind::Int;
};

// Positions of the rows in the settings table.
enum ConfigRow : int
{
    RowAutoRun = 0,
    RowShowFah = 1,
    RowLanguage = 2
};

inline constexpr bool kDefaultAutoRun = true;
inline constexpr bool kDefaultShowFah = false;
inline constexpr int kDefaultLanguage = 2;

// The three rows with their defaults, in file order.
QList<ConfigEntry> defaultConfigEntries();

// Fills the rows from the file; true only when every row's key was present, in its group or at
// the top level. A missing file reads as all keys missing. Rows whose key is missing keep their
// value.
bool readConfigFile(const QString& path, QList<ConfigEntry>& rows);

// Writes every row into its group and flushes, removing the row's key from the top level; other
// keys of the file stay. The file is replaced whole or not at all, and not touched when nothing
// in it changes. False, with the reason in why, when it could not be written.
bool writeConfigFile(const QString& path, const QList<ConfigEntry>& rows, QString* why = nullptr);

// The manual port of group "DEVICE", key "Port", trimmed; empty when absent.
QString readManualPort(const QString& path);

} // namespace zolven
