import QtQuick

// Two-state sliding switch: switch_state 0 is off (knob left), 3 is on (knob right).
Item {
    id: root_compo

    property var margin_pos: (frame.height - indi.height) / 2
    property var start_pos: margin_pos
    property var end_pos: frame.width - indi.width - margin_pos
    property var color_normal: "white"
    property var color_hovered: "#DBA319"
    property var color_pressed: "#FFD243"
    property var color_selected: "#FFD243"
    property int switch_state: 0
    property var function_cb

    readonly property bool focus_ring_shown: ring.shown

    signal syncState(int index_state)

    // Same numbering as the metric rows; an "on" knob keeps its colour on hover and leave.
    function state_changed_cb(state) {
        switch (state) {
        case 0:
            if (switch_state !== 3)
                indi.color = color_normal
            break
        case 1:
            if (switch_state !== 3)
                indi.color = color_hovered
            break
        case 2:
            indi.color = color_pressed
            break
        case 3:
            indi.color = color_selected
            break
        }
    }

    function knobPos(state) {
        return state === 3 ? end_pos : start_pos
    }

    // The same path as a click of the pointer, for the keyboard and assistive technology.
    function toggle() {
        switch_state = switch_state === 3 ? 0 : 3
        state_changed_cb(3)
        if (typeof function_cb === "function")
            function_cb()
    }

    // Without the pointer there is no leave to take the click's colour off a switch that
    // went off: the knob shows what the pointer would leave behind.
    function toggleWithoutPointer() {
        toggle()
        if (!ma_main.containsMouse)
            state_changed_cb(0)
    }

    width: 50
    height: 30

    activeFocusOnTab: true
    Keys.onPressed: function (event) {
        if (ring.keyPressed(event)) {
            toggleWithoutPointer()
            event.accepted = true
        }
    }

    Accessible.role: Accessible.CheckBox
    Accessible.checkable: true
    Accessible.checked: switch_state === 3
    // The role offers both actions; the functions keep them from being listed twice.
    function accessibleToggleAction() { toggleWithoutPointer() }
    function accessiblePressAction() { toggleWithoutPointer() }

    onSyncState: function (index_state) {
        switch_state = index_state
        state_changed_cb(index_state)
    }

    // Fires only on a real change, so imposing the current state starts nothing.
    onSwitch_stateChanged: {
        switch_anim.from = knobPos(priv.shown_state)
        switch_anim.to = knobPos(switch_state)
        priv.shown_state = switch_state
        switch_anim.restart()
    }

    QtObject {
        id: priv
        property int shown_state: 0
    }

    Rectangle {
        id: frame
        anchors.fill: parent
        color: "white"
        opacity: 0.2
        radius: root_compo.height
    }

    Rectangle {
        id: indi
        width: root_compo.height * 0.6
        height: width
        radius: height
        x: root_compo.start_pos
        anchors.verticalCenter: parent.verticalCenter
        color: "white"
    }

    MouseArea {
        id: ma_main
        anchors.fill: parent
        hoverEnabled: true
        onEntered: root_compo.state_changed_cb(1)
        onExited: root_compo.state_changed_cb(0)
        onPressed: {
            ring.pointerPressed()
            root_compo.state_changed_cb(2)
        }
        onClicked: root_compo.toggle()
    }

    FocusRing {
        id: ring
        radius: height / 2
    }

    PropertyAnimation {
        id: switch_anim
        target: indi
        property: "x"
        duration: 200
        easing.type: Easing.OutQuart
    }
}
