import QtQuick

// The keyboard's focus ring a control draws around itself, and when it shows: focus that came
// by Tab or a key shows it; a press of the pointer takes the focus without it, and it shows
// again at the next key.
Rectangle {
    id: ring

    // The item that takes the focus for the control.
    property Item focus_owner: parent
    property real outset: 2
    property bool by_keys: false
    readonly property bool shown: focus_owner !== null && focus_owner.activeFocus && by_keys

    // A key reached the control: true for the keys that click it.
    function keyPressed(event) {
        by_keys = true
        return event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter
    }

    function pointerPressed() {
        focus_owner.forceActiveFocus()
        by_keys = false
    }

    anchors.fill: parent
    anchors.margins: -outset
    visible: shown
    color: "transparent"
    border.width: 2
    border.color: "white"
    radius: 8

    Connections {
        target: ring.focus_owner
        function onActiveFocusChanged() {
            if (ring.focus_owner.activeFocus)
                ring.by_keys = true
        }
    }
}
