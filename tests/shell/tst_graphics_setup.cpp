// The start-up's graphics steering: it must hold only while the window is created, and never
// override what the user chose.

#include "app/GraphicsSetup.h"

#include <QtTest>

namespace {

constexpr char kLoop[] = "QSG_RENDER_LOOP";
constexpr char kProbe[] = "QT_OPENGL_NO_SANITY_CHECK";

void setOrUnset(const char* name, const QByteArray& value)
{
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

} // namespace

class TestGraphicsSetup : public QObject
{
    Q_OBJECT

private slots:
    void environment_data()
    {
        QTest::addColumn<QByteArray>("userLoop");
        QTest::addColumn<QByteArray>("userProbe");
        QTest::addColumn<QByteArray>("loopWhileLoading");
        QTest::addColumn<QByteArray>("probeWhileLoading");

        const QByteArray unset;
        // The loop is left to Qt, which without the probe takes the threaded one.
        QTest::newRow("nothing set") << unset << unset << unset << QByteArray("1");
        // Whoever picks a render loop keeps Qt's own probe as well.
        QTest::newRow("user's render loop")
            << QByteArray("threaded") << unset << QByteArray("threaded") << unset;
        QTest::newRow("user's probe setting")
            << unset << QByteArray("0") << unset << QByteArray("0");
    }

    void environment()
    {
        QFETCH(QByteArray, userLoop);
        QFETCH(QByteArray, userProbe);
        QFETCH(QByteArray, loopWhileLoading);
        QFETCH(QByteArray, probeWhileLoading);
        setOrUnset(kLoop, userLoop);
        setOrUnset(kProbe, userProbe);

        zolven::prepareGraphics();
        QCOMPARE(qgetenv(kLoop), loopWhileLoading);
        QCOMPARE(qEnvironmentVariableIsSet(kLoop), !loopWhileLoading.isNull());
        QCOMPARE(qgetenv(kProbe), probeWhileLoading);
        QCOMPARE(qEnvironmentVariableIsSet(kProbe), !probeWhileLoading.isNull());

        // Afterwards, processes the program starts see the user's environment again.
        zolven::restoreGraphicsEnvironment();
        QCOMPARE(qEnvironmentVariableIsSet(kLoop), !userLoop.isNull());
        QCOMPARE(qgetenv(kLoop), userLoop);
        QCOMPARE(qEnvironmentVariableIsSet(kProbe), !userProbe.isNull());
        QCOMPARE(qgetenv(kProbe), userProbe);

        // A second restore must not take away what the user set.
        zolven::restoreGraphicsEnvironment();
        QCOMPARE(qgetenv(kLoop), userLoop);
        QCOMPARE(qgetenv(kProbe), userProbe);
    }
};

QTEST_GUILESS_MAIN(TestGraphicsSetup)
#include "tst_graphics_setup.moc"
