#include <QColor>
#include <QImage>
#include <QPainter>
#include <QtMath>
#include <QtTest>

// Whether the tray icon can be seen on the panels people use: the share of the icon's covered
// area that stands out from the panel by at least 3:1 (WCAG's least contrast for graphics),
// at the sizes trays draw it.
class TestTrayContrast : public QObject
{
    Q_OBJECT

private slots:
    void readsOnDarkAndLightPanels_data();
    void readsOnDarkAndLightPanels();
    void measureTellsADarkGlyphFromALightOne();
};

namespace {

double channel(int v)
{
    const double c = v / 255.0;
    return c <= 0.03928 ? c / 12.92 : qPow((c + 0.055) / 1.055, 2.4);
}

double luminance(QRgb c)
{
    return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

// The share of the icon's at least half-covered pixels that reach 3:1 against panel, with the
// icon scaled to side pixels the way a tray scales it.
double visibleShare(const QImage& icon, int side, QColor panel)
{
    const QImage small = icon.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_ARGB32);
    QImage shown(small.size(), QImage::Format_RGB32);
    shown.fill(panel);
    {
        QPainter p(&shown);
        p.drawImage(0, 0, small);
    }
    int covered = 0, standing = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            if (qAlpha(small.pixel(x, y)) < 128)
                continue;
            ++covered;
            if (contrast(shown.pixel(x, y), panel.rgb()) >= 3.0)
                ++standing;
        }
    return covered ? double(standing) / covered : 0.0;
}

} // namespace

void TestTrayContrast::readsOnDarkAndLightPanels_data()
{
    QTest::addColumn<QColor>("panel");
    QTest::addColumn<int>("side");
    const QPair<const char*, QColor> panels[] = {{"black", QColor(Qt::black)},
                                                 {"white", QColor(Qt::white)},
                                                 {"breeze dark", QColor(0x31, 0x36, 0x3b)},
                                                 {"breeze light", QColor(0xef, 0xf0, 0xf1)}};
    for (const auto& panel : panels)
        for (int side : {16, 22, 32, 48})
            QTest::newRow(
                qPrintable(QStringLiteral("%1 %2px").arg(QLatin1String(panel.first)).arg(side)))
                << panel.second << side;
}

void TestTrayContrast::readsOnDarkAndLightPanels()
{
    QFETCH(QColor, panel);
    QFETCH(int, side);
    const QImage icon(QStringLiteral(":/logo/tray.png"));
    QVERIFY(!icon.isNull());
    const double share = visibleShare(icon, side, panel);
    qInfo("%s: %.0f %% of the icon at 3:1 or more", QTest::currentDataTag(), share * 100);
    // A third: the glyph or its rim, not a stray edge.
    QVERIFY2(share >= 1.0 / 3, qPrintable(QString::number(share)));
}

void TestTrayContrast::measureTellsADarkGlyphFromALightOne()
{
    // The window icon is a dark glyph on nothing: it must fail on black and pass on white.
    const QImage logo(QStringLiteral(":/logo/logo.png"));
    QVERIFY(!logo.isNull());
    QVERIFY(visibleShare(logo, 22, Qt::black) < 0.05);
    QVERIFY(visibleShare(logo, 22, Qt::white) > 0.9);
}

QTEST_GUILESS_MAIN(TestTrayContrast)
#include "tst_tray_contrast.moc"
