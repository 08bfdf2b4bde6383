#pragma once

#include <QObject>

namespace zolven {

// Whether a tray can take the icon now, and news of one that comes up later. Qt decides once,
// when the first tray icon is made, whether it talks to a D-Bus tray (StatusNotifierItem); on
// a Wayland session started before its panel that decision would be "no tray" for the whole
// run. So there the icon is made only once a tray host is on the bus.
class TrayWatch : public QObject
{
    Q_OBJECT

public:
    explicit TrayWatch(QObject* parent = nullptr);

    // A tray shows icons now.
    bool available() const;
    // The tray icon may be made now: where Qt docks it by itself once a tray comes (X11's
    // XEmbed, Windows) at once; elsewhere when a tray host is there.
    bool iconReady() const { return m_iconReady; }

signals:
    // iconReady() turned true after the start.
    void appeared();

private slots:
    void check();

private:
    bool m_iconReady = false;
};

} // namespace zolven
