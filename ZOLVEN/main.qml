import QtQuick
import DuvHandler.handler 1.0

Window {
    id: root
    width: 490
    height: 800
    visible: true
    title: "ZOLVEN"
    color: "transparent"
    flags: Qt.FramelessWindowHint | Qt.Window

    DuvHandler {
        id: hwihandler_main
        Component.onCompleted: RunAsync()
    }

    Rectangle {
        anchors.fill: parent
        radius: 40
        color: "black"
    }

    Component.onCompleted: hide()
}
