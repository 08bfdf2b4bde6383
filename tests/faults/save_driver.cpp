// One save of each kind into a folder, for inject_errors.py, which runs it under strace with a
// system call made to fail: config.ini with the values changed, and the autostart entry for a
// moved program. Prints nothing of its own (its writes may be the ones that fail); exit code 1
// when config.ini was said to be written, 0 when its save reported a failure.

#include "settings/Autostart.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 64;
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QList<zolven::ConfigEntry> rows = zolven::defaultConfigEntries();
    rows[zolven::RowAutoRun].value = false;
    rows[zolven::RowShowFah].value = true;
    const bool settings = zolven::writeConfigFile(dir + QStringLiteral("/config.ini"), rows);
    // The entry's file name is the program's: argv[2] names a moved copy.
    zolven::applyAutostart(QString::fromLocal8Bit(argv[2]), true);
    return settings ? 1 : 0;
}
