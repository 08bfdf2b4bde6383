import QtQuick

// Image button with rest, hover and press pictures; with isNormalbutton false it also turns by
// 90 degrees on every click (the header's expand/collapse chevron).
Item {
    id: root_compo

    property var width_root: 30
    property var height_root: 30
    property var img_source: ""
    property var img_source_enter: ""
    property var img_source_press: ""
    property bool isActivated: true
    property bool isNormalbutton: true
    property var onClickedFunction: null

    // Shown for keyboard focus only; a press of the pointer hides it again.
    readonly property bool focus_ring_shown: activeFocus && priv.by_keys
    // How far the ring stands out of the control (negative: inside it).
    property real ring_outset: 2

    function onClicked_cb() {
        if (onClickedFunction)
            onClickedFunction()
    }

    // The click's path, for the keyboard and assistive technology as for the pointer.
    function activate() {
        // from/to still read the old isActivated; restart so a quick second click turns
        // back from where the first one was heading.
        if (!isNormalbutton)
            action_rotation.restart()
        isActivated = !isActivated
        onClicked_cb()
        console.log("componnet had changed, isActivated", isActivated)
    }

    width: width_root
    height: height_root
    rotation: 90

    activeFocusOnTab: true
    onActiveFocusChanged: if (activeFocus) priv.by_keys = true
    Keys.onPressed: function (event) {
        priv.by_keys = true
        if (event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            activate()
            event.accepted = true
        }
    }

    Accessible.role: Accessible.Button
    // The role offers the action; the function keeps it from being listed twice.
    function accessiblePressAction() { activate() }

    // A press of the pointer takes the focus from where the keyboard left it, without a ring.
    function takePointerFocus() {
        forceActiveFocus()
        priv.by_keys = false
    }

    QtObject {
        id: priv
        property bool by_keys: false
    }

    Rectangle {
        anchors.fill: parent
        color: "transparent"

        Image {
            id: img_indi
            anchors.centerIn: parent
            source: root_compo.img_source
        }
    }

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        onEntered: img_indi.source = root_compo.img_source_enter
        onExited: img_indi.source = root_compo.img_source
        onPressed: {
            root_compo.takePointerFocus()
            img_indi.source = root_compo.img_source_press
        }
        onClicked: root_compo.activate()
    }

    FocusRing {
        shown: root_compo.focus_ring_shown
        outset: root_compo.ring_outset
        radius: Math.min(width, height) / 2
    }

    PropertyAnimation {
        id: action_rotation
        target: root_compo
        property: "rotation"
        from: root_compo.isActivated ? 90 : 0
        to: root_compo.isActivated ? 0 : 90
        duration: 160
        easing.type: Easing.OutQuart
    }
}
