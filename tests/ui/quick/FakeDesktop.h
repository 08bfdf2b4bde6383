#pragma once

#include <QGuiApplication>
#include <QObject>
#include <QString>

class QWindow;

// Stands in for the desktop facts the window asks for (context property sys_desktop): the test
// says whether a tray is there and what the platform is called, and counts the moves handed to
// the window system.
class FakeDesktop : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString platformName MEMBER m_platformName NOTIFY platformNameChanged)
    Q_PROPERTY(QString trayIcon READ trayIcon CONSTANT)
    Q_PROPERTY(bool tray MEMBER m_tray)
    Q_PROPERTY(bool trayIconReady MEMBER m_trayIconReady NOTIFY trayAppeared)
    Q_PROPERTY(int systemMoves MEMBER m_systemMoves)

public:
    using QObject::QObject;

    QString trayIcon() const { return QStringLiteral("qrc:/logo/tray.png"); }
    Q_INVOKABLE bool trayAvailable() const { return m_tray; }
    Q_INVOKABLE bool startSystemMove(QWindow* window)
    {
        ++m_systemMoves;
        return window != nullptr;
    }

    // Test control: the platform the tests run on, no tray, no moves yet.
    Q_INVOKABLE void reset()
    {
        m_platformName = QGuiApplication::platformName();
        m_tray = false;
        m_systemMoves = 0;
        emit platformNameChanged();
        if (!m_trayIconReady) {
            m_trayIconReady = true;
            emit trayAppeared();
        }
    }

signals:
    void platformNameChanged();
    void trayAppeared();

private:
    QString m_platformName = QGuiApplication::platformName();
    bool m_tray = false;
    bool m_trayIconReady = true;
    int m_systemMoves = 0;
};
