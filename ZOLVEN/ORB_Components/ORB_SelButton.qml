import QtQuick

// One selectable metric row: tip on the left, value and unit on the right, a bar at the left
// edge that shows hover, press and selection.
Item {
    id: root_compo

    property var function_cb
    property var color_normal: "transparent"
    property var color_hovered: "white"
    property var color_pressed: "#FFD243"
    property var color_selected: "#FFD243"
    property string fontFamily: ""
    property var fontSize: 14
    property string item_tip: ""
    property string item_var: ""
    property string item_unit: ""
    property bool isVarReady: false
    property var isSelected: false

    // Said before the tip by a screen reader ("CPU" or "GPU"): the tip alone is ambiguous.
    property string accessible_prefix: ""
    readonly property bool focus_ring_shown: ring.shown

    signal sigOpen
    signal sigClose

    // 0 normal, 1 hovered, 2 pressed, 3 selected; a selected row keeps its bar on hover/leave.
    function state_changed_cb(state_cb) {
        switch (state_cb) {
        case 0:
            if (!isSelected)
                item_clock_indi.color = color_normal
            break
        case 1:
            if (!isSelected)
                item_clock_indi.color = color_hovered
            break
        case 2:
            item_clock_indi.color = color_pressed
            break
        case 3:
            item_clock_indi.color = color_selected
            break
        }
    }

    // The same path as a click of the pointer, for the keyboard and assistive technology.
    function activate() {
        state_changed_cb(3)
        if (typeof function_cb === "function")
            function_cb()
    }

    width: 300
    height: 200

    activeFocusOnTab: true
    Keys.onPressed: function (event) {
        if (ring.keyPressed(event)) {
            activate()
            event.accepted = true
        }
    }

    Accessible.role: Accessible.ListItem
    Accessible.name: [accessible_prefix, item_tip, item_var, item_unit].filter(function (part) {
        return part !== ""
    }).join(" ")
    Accessible.selectable: true
    Accessible.selected: isSelected === true
    Accessible.onPressAction: activate()

    onSigOpen: {
        isSelected = true
        state_changed_cb(3)
    }
    onSigClose: {
        isSelected = false
        state_changed_cb(0)
    }

    Rectangle {
        id: item_clock
        anchors.fill: parent
        color: "transparent"

        Rectangle {
            id: item_clock_indi
            width: 6
            height: parent.height / 2
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            color: "transparent"
        }

        Text {
            id: tip_cpu_info_clock
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: qsTr(root_compo.item_tip)
            font.family: root_compo.fontFamily
            font.pixelSize: root_compo.fontSize
            color: "white"
            opacity: 0.8
        }

        Text {
            id: var_cpu_info_clock
            anchors.right: parent.right
            anchors.rightMargin: item_clock_indi.width
            anchors.verticalCenter: parent.verticalCenter
            text: root_compo.item_var + " " + root_compo.item_unit
            font.family: root_compo.fontFamily
            font.pixelSize: root_compo.fontSize
            color: "white"
            opacity: 0.8
        }

        MouseArea {
            id: ma_area_cpu_info_clock
            anchors.fill: parent
            hoverEnabled: true
            onEntered: root_compo.state_changed_cb(1)
            onExited: root_compo.state_changed_cb(0)
            onPressed: {
                ring.pointerPressed()
                root_compo.state_changed_cb(2)
            }
            onClicked: root_compo.activate()
        }
    }

    FocusRing {
        id: ring
        outset: 0
    }
}
