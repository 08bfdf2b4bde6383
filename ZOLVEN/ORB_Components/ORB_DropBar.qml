import QtQuick

// Labelled drop-down whose option list opens upward over whatever lies above the bar.
Item {
    id: root

    property var list_options: []
    property int index: 0
    property string font_tip: ""
    property string font_option_selected: ""
    property string font_list_item: ""
    property string name_tip: ""
    property int pixelSize: 18
    property int list_item_height: 30
    property bool hovered_ctl: false
    property bool clicked_ctl: false
    property var function_cb: null
    readonly property bool focus_ring_shown: ring.shown

    function pick(option_index) {
        // The slot is about to close under the keyboard focus: give it back to the bar.
        if (optionFocused())
            root.forceActiveFocus()
        root.index = option_index
        root.clicked_ctl = !root.clicked_ctl
        anim_expand.restart()
        if (typeof root.function_cb === "function")
            root.function_cb()
    }

    // Opens or closes the list as a click on the bar does. From the keyboard, the current
    // option takes the focus, so the arrows start from it and a screen reader names it.
    function toggleList(from_keys) {
        root.clicked_ctl = !root.clicked_ctl
        anim_expand.restart()
        if (!root.clicked_ctl) {
            if (optionFocused())
                root.forceActiveFocus()
        } else if (from_keys) {
            slot(root.index).forceActiveFocus()
        }
    }

    function optionFocused() {
        return item_list_0.activeFocus || item_list_1.activeFocus || item_list_2.activeFocus
    }

    function slot(n) {
        return [item_list_0, item_list_1, item_list_2][n]
    }

    // Keys of a focused option: the list opens upward, so Up goes to the next option.
    function optionKey(n, event) {
        let to = -1
        if (event.key === Qt.Key_Up)
            to = Math.min(n + 1, list_options.length - 1, 2)
        else if (event.key === Qt.Key_Down)
            to = Math.max(n - 1, 0)
        if (to >= 0) {
            slot(to).forceActiveFocus()
        } else if (event.key === Qt.Key_Space || event.key === Qt.Key_Return || event.key === Qt.Key_Enter) {
            pick(n)
        } else if (event.key === Qt.Key_Escape || event.key === Qt.Key_Tab || event.key === Qt.Key_Backtab) {
            toggleList(true)
        } else {
            return
        }
        event.accepted = true
    }

    width: parent ? parent.width : 0
    height: parent ? parent.height : 0

    activeFocusOnTab: true
    Keys.onPressed: function (event) {
        if (ring.keyPressed(event) || (event.key === Qt.Key_Escape && root.clicked_ctl)) {
            toggleList(true)
            event.accepted = true
        }
    }
    // An open list takes Escape before the window's own shortcut does.
    Keys.onShortcutOverride: function (event) {
        event.accepted = event.key === Qt.Key_Escape && root.clicked_ctl
    }

    Accessible.role: Accessible.ComboBox
    Accessible.name: root.name_tip
    Accessible.description: list_options[index] ?? ""
    Accessible.onPressAction: toggleList(true)

    Rectangle {
        id: main_area
        anchors.fill: parent
        color: "transparent"

        Rectangle {
            id: state_bar_mouse
            anchors.left: parent.left
            anchors.bottom: parent.bottom
            height: 2
            width: 0
        }

        Text {
            id: name_tip
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: root.name_tip
            font.bold: true
            font.family: root.font_tip
            font.pixelSize: root.pixelSize
            color: "white"
        }

        Text {
            id: name_option_selected
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: root.list_options[root.index] ?? ""
            font.family: root.font_option_selected
            font.pixelSize: root.pixelSize
            color: "white"
        }

        MouseArea {
            id: ma_main
            anchors.fill: parent
            hoverEnabled: true
            onEntered: {
                root.hovered_ctl = !root.hovered_ctl
                anim_hovered.restart()
            }
            onExited: {
                root.hovered_ctl = !root.hovered_ctl
                anim_hovered.restart()
            }
            onPressed: ring.pointerPressed()
            onClicked: root.toggleList(false)
        }
    }

    // Closed it is 0 high and clips, so its slots get no pointer input.
    Rectangle {
        id: area_popup
        anchors.bottom: main_area.top
        width: root.width
        height: 0
        radius: 18
        color: "black"
        opacity: 0.8
        clip: true
        // Closed, nothing of it shows; hidden, a screen reader knows it too.
        visible: height > 0 || root.clicked_ctl

        Accessible.role: Accessible.List
        Accessible.name: root.name_tip

        Item {
            id: item_list_0
            property int index: 0

            Accessible.role: Accessible.ListItem
            Accessible.name: item_text_0.text
            Accessible.selectable: true
            Accessible.selected: root.index === index
            Accessible.onPressAction: root.pick(index)
            Keys.onPressed: function (event) { root.optionKey(index, event) }
            Keys.onShortcutOverride: function (event) { event.accepted = event.key === Qt.Key_Escape }
            anchors.bottom: parent.bottom
            width: parent.width
            height: root.list_item_height

            Text {
                id: item_text_0
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.top: parent.top
                text: root.list_options[item_list_0.index] ?? ""
                font.letterSpacing: 4
                font.family: root.font_list_item
                font.pixelSize: 16
                color: ma_item_0.containsMouse || item_list_0.activeFocus ? "yellow" : "white"
            }

            MouseArea {
                id: ma_item_0
                anchors.fill: parent
                hoverEnabled: true
                onClicked: root.pick(item_list_0.index)
            }
        }

        Item {
            id: item_list_1
            property int index: 1

            Accessible.role: Accessible.ListItem
            Accessible.name: item_text_1.text
            Accessible.selectable: true
            Accessible.selected: root.index === index
            Accessible.onPressAction: root.pick(index)
            Keys.onPressed: function (event) { root.optionKey(index, event) }
            Keys.onShortcutOverride: function (event) { event.accepted = event.key === Qt.Key_Escape }
            anchors.bottom: item_list_0.top
            width: parent.width
            height: root.list_item_height

            Text {
                id: item_text_1
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.top: parent.top
                text: root.list_options[item_list_1.index] ?? ""
                font.letterSpacing: 4
                font.family: root.font_list_item
                font.pixelSize: 16
                color: ma_item_1.containsMouse || item_list_1.activeFocus ? "yellow" : "white"
            }

            MouseArea {
                id: ma_item_1
                anchors.fill: parent
                hoverEnabled: true
                onClicked: root.pick(item_list_1.index)
            }
        }

        Item {
            id: item_list_2
            property int index: 2

            Accessible.role: Accessible.ListItem
            Accessible.name: item_text_2.text
            Accessible.selectable: true
            Accessible.selected: root.index === index
            Accessible.onPressAction: root.pick(index)
            Keys.onPressed: function (event) { root.optionKey(index, event) }
            Keys.onShortcutOverride: function (event) { event.accepted = event.key === Qt.Key_Escape }
            anchors.bottom: item_list_1.top
            width: parent.width
            height: root.list_item_height

            Text {
                id: item_text_2
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.top: parent.top
                text: root.list_options[item_list_2.index] ?? ""
                font.letterSpacing: 4
                font.family: root.font_list_item
                font.pixelSize: 16
                color: ma_item_2.containsMouse || item_list_2.activeFocus ? "yellow" : "white"
            }

            MouseArea {
                id: ma_item_2
                anchors.fill: parent
                hoverEnabled: true
                onClicked: root.pick(item_list_2.index)
            }
        }
    }

    FocusRing {
        id: ring
        outset: 0
    }

    PropertyAnimation {
        id: anim_hovered
        target: state_bar_mouse
        property: "width"
        from: root.hovered_ctl ? 0 : root.width
        to: root.hovered_ctl ? root.width : 0
        duration: 160
        easing.type: Easing.OutQuart
    }

    PropertyAnimation {
        id: anim_expand
        target: area_popup
        property: "height"
        from: root.clicked_ctl ? 0 : root.list_item_height * root.list_options.length
        to: root.clicked_ctl ? root.list_item_height * root.list_options.length : 0
        duration: 160
        easing.type: Easing.OutQuart
    }
}
