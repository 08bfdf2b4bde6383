import QtQuick

// The keyboard focus ring the controls draw around themselves; nothing while hidden.
Rectangle {
    property bool shown: false
    property real outset: 2

    anchors.fill: parent
    anchors.margins: -outset
    visible: shown
    color: "transparent"
    border.width: 2
    border.color: "white"
    radius: 8
}
