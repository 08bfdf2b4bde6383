import QtQuick
import Qt.labs.platform as Platform

// What any Qt Quick tray program carries: a hidden window, a tray icon and a QML Timer that
// writes one frame a second. No sensors, no bindings, no settings.
Window {
    width: 490
    height: 800
    visible: false

    Timer {
        interval: 1000
        running: true
        repeat: true
        onTriggered: port.send()
    }

    Platform.SystemTrayIcon {
        visible: true
        icon.source: "qrc:/logo/logo.png"
        icon.mask: true
        tooltip: "tray floor"
    }
}
