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

    function pick(option_index) {
        root.index = option_index
        root.clicked_ctl = !root.clicked_ctl
        anim_expand.restart()
        if (typeof root.function_cb === "function")
            root.function_cb()
    }

    width: parent ? parent.width : 0
    height: parent ? parent.height : 0

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
            onClicked: {
                root.clicked_ctl = !root.clicked_ctl
                anim_expand.restart()
            }
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

        Item {
            id: item_list_0
            property int index: 0
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
                color: "white"
            }

            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onEntered: item_text_0.color = "yellow"
                onExited: item_text_0.color = "white"
                onClicked: root.pick(item_list_0.index)
            }
        }

        Item {
            id: item_list_1
            property int index: 1
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
                color: "white"
            }

            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onEntered: item_text_1.color = "yellow"
                onExited: item_text_1.color = "white"
                onClicked: root.pick(item_list_1.index)
            }
        }

        Item {
            id: item_list_2
            property int index: 2
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
                color: "white"
            }

            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onEntered: item_text_2.color = "yellow"
                onExited: item_text_2.color = "white"
                onClicked: root.pick(item_list_2.index)
            }
        }
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
