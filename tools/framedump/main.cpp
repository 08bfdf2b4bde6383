// framedump: prints the telemetry frames that ZOLVEN sends, read from the device's serial port
// (listening in on a pseudo-terminal or a serial adapter), from a capture file, or from stdin.

#include "FrameDump.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTextStream>

#include <cstdio>

namespace {

class Dumper
{
public:
    Dumper(qint64 limit, bool raw) : m_limit(limit), m_raw(raw) {}

    // Returns false once the frame limit is reached.
    bool feed(const QByteArray& bytes)
    {
        m_scanner.feed(bytes);
        while (auto frame = m_scanner.next()) {
            const auto decoded = zolven::decodeFrame(*frame);
            ++m_count;
            m_out << zolven::describeFrame(m_count, *decoded);
            if (m_raw)
                m_out << " raw=" << frame->toHex();
            m_out << Qt::endl;
            if (m_limit > 0 && m_count >= m_limit)
                return false;
        }
        return true;
    }

    qint64 count() const { return m_count; }
    qint64 skipped() const { return m_scanner.skipped(); }

private:
    zolven::FrameScanner m_scanner;
    QTextStream m_out{stdout};
    qint64 m_count = 0;
    qint64 m_limit;
    bool m_raw;
};

int dumpStream(QIODevice& in, Dumper& dumper)
{
    while (!in.atEnd() || in.waitForReadyRead(-1)) {
        const QByteArray chunk = in.read(4096);
        if (chunk.isEmpty())
            break;
        if (!dumper.feed(chunk))
            break;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("framedump"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints ZOLVEN telemetry frames: the eleven values and the unit flag."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("source"),
                                 QStringLiteral("A serial port (ttyUSB0, /dev/pts/3), a capture "
                                                "file, or - for standard input."));
    QCommandLineOption countOpt({QStringLiteral("n"), QStringLiteral("count")},
                                QStringLiteral("Stop after <n> frames."), QStringLiteral("n"));
    QCommandLineOption rawOpt(QStringLiteral("raw"),
                              QStringLiteral("Also print each frame's bytes as sent."));
    QCommandLineOption baudOpt(QStringLiteral("baud"),
                               QStringLiteral("Serial speed (default 1000000)."),
                               QStringLiteral("rate"), QStringLiteral("1000000"));
    parser.addOptions({countOpt, rawOpt, baudOpt});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 1)
        parser.showHelp(2);
    const QString source = args.first();
    Dumper dumper(parser.value(countOpt).toLongLong(), parser.isSet(rawOpt));

    if (source == QLatin1String("-")) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            return 1;
        return dumpStream(in, dumper);
    }
    if (QFileInfo(source).isFile()) {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "framedump: cannot open %s\n", qPrintable(source));
            return 1;
        }
        dumpStream(in, dumper);
        if (dumper.count() == 0)
            std::fprintf(stderr, "framedump: no frame found (%lld bytes skipped)\n",
                         static_cast<long long>(dumper.skipped()));
        return 0;
    }

    QSerialPort port(source);
    if (!port.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "framedump: cannot open %s: %s\n", qPrintable(source),
                     qPrintable(port.errorString()));
        return 1;
    }
    // Pseudo-terminals may refuse the speed; the bytes still arrive.
    port.setBaudRate(parser.value(baudOpt).toInt());
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    QObject::connect(&port, &QSerialPort::readyRead, &app, [&] {
        if (!dumper.feed(port.readAll()))
            QCoreApplication::quit();
    });
    QObject::connect(&port, &QSerialPort::errorOccurred, &app, [&](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError && e != QSerialPort::TimeoutError) {
            std::fprintf(stderr, "framedump: %s\n", qPrintable(port.errorString()));
            QCoreApplication::exit(1);
        }
    });
    return QCoreApplication::exec();
}
