// The Qt Quick floor: the least a Qt Quick tray program costs at start-up and at rest. It
// writes the same 23-byte frame (all metrics 0) to a port once a second from a QML Timer, as
// the program does, so the steady-state benchmark can set it beside the program.
//   bench_tray_floor [port]
// Being a floor, it takes the cheapest start Qt offers: the basic render loop, chosen without
// the probe context that maps the OpenGL driver into a program with a hidden window.

#include <QApplication>
#include <QByteArray>
#include <QQmlApplicationEngine>
#include <QQmlContext>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

class Port : public QObject
{
    Q_OBJECT

public:
    explicit Port(const char* path)
    {
        if (!path)
            return;
        m_fd = ::open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
        // Mark, unit flag, then 21 zero bytes masked.
        m_frame = QByteArray(23, char(0xA5));
        m_frame[0] = 0x74;
        m_frame[1] = 0;
    }
    ~Port() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }

    Q_INVOKABLE void send()
    {
        if (m_fd >= 0 && ::write(m_fd, m_frame.constData(), m_frame.size()) < 0)
            qWarning("write failed");
    }

private:
    int m_fd = -1;
    QByteArray m_frame;
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QSG_RENDER_LOOP", QByteArrayLiteral("basic"));
    qputenv("QT_OPENGL_NO_SANITY_CHECK", QByteArrayLiteral("1"));
    QApplication app(argc, argv);
    Port port(argc > 1 ? argv[1] : nullptr);
    QQmlApplicationEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("port"), &port);
    engine.load(QUrl(QStringLiteral("qrc:/bench/tray_floor.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    return QApplication::exec();
}

#include "tray_floor.moc"
