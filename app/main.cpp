#include "app/Shell.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    int code;
    {
        QApplication app(argc, argv);
        code = zolven::runShell(app);
    }
    return code;
}
