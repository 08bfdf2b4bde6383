#include "app/Sysctl.h"

#include <QTemporaryDir>
#include <QTest>

// The language table against the catalogues the program really ships.
class CataloguesTest : public QObject
{
    Q_OBJECT

private slots:
    void everyRowSwitches();
};

void CataloguesTest::everyRowSwitches()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Sysctl c(dir.path());
    for (const zolven::LanguageEntry& row : zolven::languageTable()) {
        // Start from another row so a failed load would show as an unchanged index.
        const int other = row.index == 2 ? 0 : 2;
        c.setILanguage(other);
        QCOMPARE(c.getILanguage(), other);
        c.setILanguage(row.index);
        QCOMPARE(c.getILanguage(), int(row.index));
    }
}

QTEST_GUILESS_MAIN(CataloguesTest)
#include "tst_catalogues.moc"
