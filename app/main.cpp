#include "app/LogPolicy.h"
#include "app/Shell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    zolven::quietLogWithoutTerminal();
    int code;
    {
        QApplication app(argc, argv);
        code = zolven::runShell(app);
    }
    return code;
}
