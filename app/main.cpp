#include "app/LogPolicy.h"
#include "app/Shell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    zolven::quietLogWithoutTerminal();
    // The window's footer shows it.
    QCoreApplication::setApplicationVersion(QStringLiteral(ZOLVEN_VERSION));
    int code;
    {
        QApplication app(argc, argv);
        code = zolven::runShell(app);
    }
    return code;
}
