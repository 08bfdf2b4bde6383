// The resource bundles: every path the program opens is served from the executable, with the
// sizes, colours, fonts and catalogue contents the window relies on.
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QRawFont>
#include <QTranslator>
#include <QtTest>

namespace {

struct Message
{
    const char* source;
    const char* en;
    const char* zh;
    const char* ct;
};

// clang-format off
const Message kMessages[] = {
    {"点击选项显示", "Click Item to Display", "点击选项显示", "點擊選項顯示"},
    {"CPU", "CPU", "CPU", "CPU"},
    {"GPU", "GPU", "GPU", "GPU"},
    {"温度", "Temperature", "温度", "溫度"},
    {"频率", "Frequency", "频率", "頻率"},
    {"使用率", "Usage", "使用率", "使用率"},
    {"风扇转速", "Fan Speed", "风扇转速", "風扇轉速"},
    {"显存占用", "Display RAM Usage", "显存占用", "顯存佔用"},
    {"无数据", "No Data", "无数据", "無數據"},
    {"MB(共享)", "MB(Shared)", "MB(共享)", "MB(共享)"},
    {"系统自启动", "Autostart", "系统自启动", "系統自啟動"},
    {"华氏度显示", "Display Fahrenheit", "华氏度显示", "華氏度顯示"},
    {"语言", "Language", "语言", "語言"},
};

// The names only a screen reader says, in their own context beside "main".
const Message kAccessMessages[] = {
    {"关闭", "Close", "关闭", "關閉"},
    {"收起窗口", "Collapse Window", "收起窗口", "收起窗口"},
    {"显示屏已连接", "Display Connected", "显示屏已连接", "顯示屏已連接"},
    {"显示屏未连接", "Display Not Connected", "显示屏未连接", "顯示屏未連接"},
};
// clang-format on

const char* const kFonts[] = {
    ":/static/assets/font/SourceHanSansOLD-Heavy-2.otf",
    ":/static/assets/font/SourceHanSansOLD-Medium-2.otf",
    ":/static/assets/font/Aemstel-LineInside.ttf",
};

// The colour of the most opaque pixel: the icon's ink, free of edge blending.
QColor inkColour(const QImage& image)
{
    QColor best;
    int bestAlpha = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > bestAlpha) {
                bestAlpha = c.alpha();
                best = c;
            }
        }
    return best;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void everyPathResolves_data();
    void everyPathResolves();
    void images_data();
    void images();
    void backdropIsOpaqueAndFaint();
    void stateIconsUseTheirColours_data();
    void stateIconsUseTheirColours();
    void fontsLoadAndCoverTheTexts();
    void eachFontIsItsOwnFamily();
    void catalogues_data();
    void catalogues();
};

void TestResources::everyPathResolves_data()
{
    QTest::addColumn<QString>("path");
    const char* const paths[] = {
        ":/ZOLVEN/main.qml",
        ":/ZOLVEN/ORB_Components/ORB_RotButton.qml",
        ":/ZOLVEN/ORB_Components/ORB_SelButton.qml",
        ":/ZOLVEN/ORB_Components/ORB_Switch.qml",
        ":/ZOLVEN/ORB_Components/ORB_DropBar.qml",
        ":/ZOLVEN/Glow.qml",
        ":/i18n/i18n/zh_CN.qm",
        ":/i18n/i18n/ct_CN.qm",
        ":/i18n/i18n/en_US.qm",
        ":/logo/logo.png",
        ":/logo/tray.png",
        ":/static/assets/font/SourceHanSansOLD-Heavy-2.otf",
        ":/static/assets/font/SourceHanSansOLD-Medium-2.otf",
        ":/static/assets/font/Aemstel-LineInside.ttf",
        ":/static/assets/icon/bg_arrow.png",
        ":/static/assets/icon/icon_close_n.png",
        ":/static/assets/icon/icon_close_h.png",
        ":/static/assets/icon/icon_close_p.png",
        ":/static/assets/icon/icon_indi_n.png",
        ":/static/assets/icon/icon_indi_h.png",
        ":/static/assets/icon/icon_indi_p.png",
    };
    for (const char* path : paths)
        QTest::newRow(path) << QString::fromUtf8(path);
}

void TestResources::everyPathResolves()
{
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    QVERIFY(file.size() > 0);
}

void TestResources::images_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("alpha");
    QTest::newRow("logo") << ":/logo/logo.png" << QSize(510, 560) << true;
    QTest::newRow("backdrop") << ":/static/assets/icon/bg_arrow.png" << QSize(400, 1000) << false;
    for (const char* s : {"n", "h", "p"}) {
        QTest::newRow(qPrintable(QStringLiteral("close_%1").arg(QLatin1String(s))))
            << QStringLiteral(":/static/assets/icon/icon_close_%1.png").arg(QLatin1String(s))
            << QSize(17, 17) << true;
        QTest::newRow(qPrintable(QStringLiteral("indi_%1").arg(QLatin1String(s))))
            << QStringLiteral(":/static/assets/icon/icon_indi_%1.png").arg(QLatin1String(s))
            << QSize(17, 29) << true;
        // Twice the size, picked by Qt at scale 2 through the @2x name.
        QTest::newRow(qPrintable(QStringLiteral("close_%1@2x").arg(QLatin1String(s))))
            << QStringLiteral(":/static/assets/icon/icon_close_%1@2x.png").arg(QLatin1String(s))
            << QSize(34, 34) << true;
        QTest::newRow(qPrintable(QStringLiteral("indi_%1@2x").arg(QLatin1String(s))))
            << QStringLiteral(":/static/assets/icon/icon_indi_%1@2x.png").arg(QLatin1String(s))
            << QSize(34, 58) << true;
    }
    QTest::newRow("tray") << ":/logo/tray.png" << QSize(128, 128) << true;
}

void TestResources::images()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QFETCH(bool, alpha);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    QCOMPARE(image.hasAlphaChannel(), alpha);
    if (alpha) {
        // Drawn on a transparent ground: the corners show nothing.
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(size.width() - 1, size.height() - 1).alpha(), 0);
    }
}

void TestResources::backdropIsOpaqueAndFaint()
{
    const QImage image(QStringLiteral(":/static/assets/icon/bg_arrow.png"));
    int maxR = 0, maxG = 0, maxB = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            QCOMPARE(c.alpha(), 255);
            maxR = qMax(maxR, c.red());
            maxG = qMax(maxG, c.green());
            maxB = qMax(maxB, c.blue());
        }
    // Lines there are, but barely above black and teal in hue.
    QVERIFY(maxG > 0);
    QVERIFY(maxR <= 4 && maxG <= 12 && maxB <= 11);
    QVERIFY(maxG > maxR && maxB > maxR);
}

void TestResources::stateIconsUseTheirColours_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QColor>("colour");
    const QPair<const char*, QColor> states[] = {
        {"n", QColor(Qt::white)}, {"h", QColor(0xFF, 0xD2, 0x43)}, {"p", QColor(0xDB, 0xA3, 0x19)}};
    for (const char* name : {"close", "indi"})
        for (const auto& state : states) {
            const QString path = QStringLiteral(":/static/assets/icon/icon_%1_%2.png")
                                     .arg(QLatin1String(name), QLatin1String(state.first));
            QTest::newRow(qPrintable(path)) << path << state.second;
        }
}

void TestResources::stateIconsUseTheirColours()
{
    QFETCH(QString, path);
    QFETCH(QColor, colour);
    const QColor ink = inkColour(QImage(path));
    QCOMPARE(ink.alpha(), 255);
    QCOMPARE(ink.rgb(), colour.rgb());
}

void TestResources::fontsLoadAndCoverTheTexts()
{
    QStringList texts;
    for (const Message& m : kMessages)
        texts << QString::fromUtf8(m.source) << QString::fromUtf8(m.en) << QString::fromUtf8(m.zh)
              << QString::fromUtf8(m.ct);
    texts << QStringLiteral("简体中文 繁体中文 English ℃ ℉ %(PWM) RPM MHz /8192 MB");
    QString ascii;
    for (char16_t c = 0x20; c < 0x7F; ++c)
        ascii += QChar(c);

    for (const char* path : kFonts) {
        const QString file = QString::fromUtf8(path);
        const int id = QFontDatabase::addApplicationFont(file);
        QVERIFY2(id >= 0, path);
        QVERIFY(!QFontDatabase::applicationFontFamilies(id).isEmpty());

        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QRawFont raw(f.readAll(), 20);
        QVERIFY(raw.isValid());
        for (const QChar c : std::as_const(ascii))
            QVERIFY2(raw.supportsCharacter(c), qPrintable(file + QLatin1Char(' ') + c));
        // The display face only shows the centre value; the other two show every text.
        if (file.contains(QLatin1String("Aemstel")))
            continue;
        for (const QString& text : std::as_const(texts))
            for (const QChar c : text)
                QVERIFY2(raw.supportsCharacter(c), qPrintable(file + QLatin1Char(' ') + c));
    }
}

void TestResources::eachFontIsItsOwnFamily()
{
    // The window names a font by its family alone: a family shared between the two weights,
    // or with an installed font, would render another face than the one loaded.
    QStringList families;
    for (const char* path : kFonts) {
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(path));
        QVERIFY(id >= 0);
        const QStringList names = QFontDatabase::applicationFontFamilies(id);
        QCOMPARE(names.size(), 1);
        QVERIFY2(!families.contains(names.first()), qPrintable(names.first()));
        families << names.first();
        QCOMPARE(QFontDatabase::styles(names.first()).size(), 1);
    }
}

void TestResources::catalogues_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("column");
    QTest::newRow("zh_CN") << ":/i18n/i18n/zh_CN.qm"
                           << "zh_CN" << 1;
    QTest::newRow("ct_CN") << ":/i18n/i18n/ct_CN.qm"
                           << "yue_HK" << 2;
    QTest::newRow("en_US") << ":/i18n/i18n/en_US.qm"
                           << "en_US" << 0;
}

void TestResources::catalogues()
{
    QFETCH(QString, path);
    QFETCH(QString, tag);
    QFETCH(int, column);
    QTranslator translator;
    QVERIFY(translator.load(path));
    QCOMPARE(translator.language(), tag);
    for (const Message& m : kMessages) {
        const char* expected = column == 0 ? m.en : column == 1 ? m.zh : m.ct;
        // An empty result means the message is missing: identical translations must stay.
        QCOMPARE(translator.translate("main", m.source), QString::fromUtf8(expected));
        QVERIFY(translator.translate("ORB_SelButton", m.source).isEmpty());
        QVERIFY(translator.translate("access", m.source).isEmpty());
    }
    for (const Message& m : kAccessMessages) {
        const char* expected = column == 0 ? m.en : column == 1 ? m.zh : m.ct;
        QCOMPARE(translator.translate("access", m.source), QString::fromUtf8(expected));
        QVERIFY(translator.translate("main", m.source).isEmpty());
    }
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
