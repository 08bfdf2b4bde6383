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

    function onClicked_cb() {
        if (onClickedFunction)
            onClickedFunction()
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
        onPressed: img_indi.source = root_compo.img_source_press
        onClicked: {
            // from/to still read the old isActivated; restart so a quick second click turns
            // back from where the first one was heading.
            if (!root_compo.isNormalbutton)
                action_rotation.restart()
            root_compo.isActivated = !root_compo.isActivated
            root_compo.onClicked_cb()
            console.log("componnet had changed, isActivated", root_compo.isActivated)
        }
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
