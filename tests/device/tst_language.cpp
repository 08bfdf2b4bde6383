#include "TestSupport.h"

#include "app/Sysctl.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The language table's catalogues here are this folder's i18n/*.ts, each translating "catalogue"
// into its own name and "你好" into its language.
class LanguageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void switchInstallsAndRetranslates();
    void indexWithoutRowChangesNothing_data();
    void indexWithoutRowChangesNothing();
    void switchWithoutEngineStillInstalls();

private:
    QString label() const
    {
        return m_engine->rootObjects().constFirst()->property("label").toString();
    }
    static QString catalogue() { return QCoreApplication::translate("Probe", "catalogue"); }

    QTemporaryDir m_dir;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};

void LanguageTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("xdg")).toLocal8Bit());
    m_engine = std::make_unique<QQmlApplicationEngine>();
    // The file name gives the translation context, as for the real documents.
    m_engine->loadData("import QtQuick\nQtObject { property string label: qsTr(\"你好\") }",
                       QUrl(QStringLiteral("qrc:/probe/Probe.qml")));
    QCOMPARE(m_engine->rootObjects().size(), 1);
}

void LanguageTest::switchInstallsAndRetranslates()
{
    Sysctl c(m_dir.path());
    c.attachEngine(*qGuiApp, *m_engine);
    QSignalSpy changed(&c, &Sysctl::isILanguageChanged);
    QCOMPARE(c.getILanguage(), 2);
    QCOMPARE(label(), QStringLiteral("你好")); // no catalogue until the first switch

    LogCapture log;
    c.setILanguage(1);
    QCOMPARE(c.getILanguage(), 1);
    QCOMPARE(label(), QStringLiteral("妳好"));
    c.setILanguage(2);
    QCOMPARE(c.getILanguage(), 2);
    QCOMPARE(label(), QStringLiteral("Hello"));
    c.setILanguage(2);
    QCOMPARE(label(), QStringLiteral("Hello"));
    c.setILanguage(0);
    QCOMPARE(catalogue(), QStringLiteral("zh_CN"));
    QCOMPARE(label(), QStringLiteral("你好"));
    QVERIFY(c.setProperty("iLanguage", 1));
    QCOMPARE(label(), QStringLiteral("妳好"));

    QCOMPARE(changed.count(), 5);
    QCOMPARE(log.lines(),
             QStringList({"[setIndexLanguage] 1", "[setIndexLanguage] 2", "[setIndexLanguage] 2",
                          "[setIndexLanguage] 0", "[setIndexLanguage] 1"}));
    QCOMPARE(c.getLLanguage(), QStringList({QStringLiteral("简体中文"), QStringLiteral("繁體中文"),
                                            QStringLiteral("English")}));
}

void LanguageTest::indexWithoutRowChangesNothing_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("3") << 3;
    QTest::newRow("5") << 5;
    QTest::newRow("-1") << -1;
    QTest::newRow("65536 (row 0 at 16 bits)") << 65536;
    QTest::newRow("65537 (row 1 at 16 bits)") << 65537;
}

void LanguageTest::indexWithoutRowChangesNothing()
{
    QFETCH(int, index);
    Sysctl c(m_dir.path());
    c.attachEngine(*qGuiApp, *m_engine);
    c.setILanguage(2);
    QSignalSpy changed(&c, &Sysctl::isILanguageChanged);
    LogCapture log;
    c.setILanguage(index);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(log.lines(), QStringList{QStringLiteral("[setIndexLanguage] 2")});
    QCOMPARE(c.getILanguage(), 2);
    QCOMPARE(catalogue(), QStringLiteral("en_US"));
    QCOMPARE(label(), QStringLiteral("Hello"));
}

void LanguageTest::switchWithoutEngineStillInstalls()
{
    {
        Sysctl c(m_dir.path());
        c.setILanguage(1);
        QCOMPARE(c.getILanguage(), 1);
        QCOMPARE(catalogue(), QStringLiteral("ct_CN"));
    }
    // The controller's translator leaves with it.
    QCOMPARE(catalogue(), QStringLiteral("catalogue"));
}

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
