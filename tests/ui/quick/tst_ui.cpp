// Qt Quick tests of the controls and of the real main window, which is loaded from the
// resources against test doubles for the controller and the sensor bridge.
#include "FakeBridge.h"
#include "FakeController.h"

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
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_ui, Setup)
#include "tst_ui.moc"
