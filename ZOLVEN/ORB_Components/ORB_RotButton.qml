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

    // What a screen reader is told; a checkable button says whether it is checked.
    property string accessible_name: ""
    property bool accessible_checkable: false
    property bool accessible_checked: false
    // The item that takes the keyboard focus in the control's place (see access_item).
    readonly property Item focus_item: access_item
    readonly property bool focus_ring_shown: ring.shown
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
            ring.pointerPressed()
            img_indi.source = root_compo.img_source_press
        }
        onClicked: root_compo.activate()
    }

    // Takes the focus and speaks for the control. It turns back against the control's own
    // rotation: Qt places a turned item's accessible box from its turned corner, a whole width
    // away from where it shows.
    Item {
        id: access_item
        anchors.fill: parent
        rotation: -root_compo.rotation

        activeFocusOnTab: true
        Keys.onPressed: function (event) {
            if (ring.keyPressed(event)) {
                root_compo.activate()
                event.accepted = true
            }
        }

        Accessible.role: Accessible.Button
        Accessible.name: root_compo.accessible_name
        Accessible.checkable: root_compo.accessible_checkable
        Accessible.checked: root_compo.accessible_checked
        // The role offers the action; the function keeps it from being listed twice.
        function accessiblePressAction() { root_compo.activate() }
    }

    FocusRing {
        id: ring
        focus_owner: access_item
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
