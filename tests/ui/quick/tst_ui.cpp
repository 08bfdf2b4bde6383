// Qt Quick tests of the controls and of the real main window, which is loaded from the
// resources against test doubles for the controller and the sensor bridge.
#include "FakeBridge.h"
#include "FakeController.h"
#include "FakeDesktop.h"

#include <QApplication>
#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        qmlRegisterType<FakeBridge>("DuvHandler.handler", 1, 0, "DuvHandler");
        engine->rootContext()->setContextProperty(QStringLiteral("sys_controller"),
                                                  new FakeController(engine, engine));
        engine->rootContext()->setContextProperty(QStringLiteral("bridges"),
                                                  new BridgeControl(engine));
        engine->rootContext()->setContextProperty(QStringLiteral("sys_desktop"),
                                                  new FakeDesktop(engine));
    }
};

int main(int argc, char** argv)
{
    // The tray icon and its menu need the widgets application, as in the program.
    QApplication app(argc, argv);
    QTEST_SET_MAIN_SOURCE_PATH
    Setup setup;
    return quick_test_main_with_setup(argc, argv, "tst_ui", QUICK_TEST_SOURCE_DIR, &setup);
}

#include "tst_ui.moc"
