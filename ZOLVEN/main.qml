import QtQuick
import QtQml.Models
import Qt5Compat.GraphicalEffects
import Qt.labs.platform as Platform
import DuvHandler.handler 1.0
import "ORB_Components"

Window {
    id: root

    width: 490
    height: 800
    // Created hidden: shown for the blink before the completion handler hides it, the window
    // would set up its graphics for a frame nobody sees, and keep them for the whole run.
    visible: false
    title: "ZOLVEN"
    color: "Transparent"
    flags: Qt.FramelessWindowHint | Qt.Window
    // Equal limits tell tiling compositors (sway, i3, Hyprland) to float the card at its own
    // size instead of stretching it; fitHeight keeps them equal while the card collapses.
    minimumWidth: 490
    maximumWidth: 490
    minimumHeight: 800
    maximumHeight: 800
    // What action_expand animates; the window follows in whole pixels.
    property real card_height: 800
    onCard_heightChanged: fitHeight(Math.round(card_height))

    // The version from the build (project(VERSION)), set by the program.
    property string version_info: "ZOLVEN V" + Qt.application.version
    property string tray_quit_string: "Quit ZOLVEN"
    property string tray_icon_name: "ZOLVEN"
    property bool isExpanded: true
    property bool isConnected: false
    property bool is_show_log: false
    // Set at the first show: what only a visible window needs waits until then.
    property bool was_shown: false
    onVisibleChanged: if (visible) was_shown = true
    // A Wayland client cannot place its own window: the compositor moves it when asked.
    readonly property bool can_place_window: !sys_desktop.platformName.startsWith("wayland")

    // Metric panels
    property string tip_center_bar: qsTr("点击选项显示")
    property string var_center_bar: is_item_selected
                                    ? (allItems[index_item].isVarReady ? allItems[index_item].item_var : "NO DATA")
                                    : (is_data_ready ? "SENSOR" : "LOADING...")
    property string unit_center_bar: allItems[index_item].isVarReady ? allItems[index_item].item_unit : ""
    property string name_cpu: ""
    property string name_gpu: ""
    property bool is_data_ready: false
    property bool is_gpu_exist: false
    property bool is_item_selected: false
    property int index_item: 0
    property var allItems: [item_cpu_temp, item_cpu_clock, item_cpu_usage, item_cpu_fan,
        item_gpu_temp, item_gpu_clock, item_gpu_usage, item_gpu_fan, item_gpu_ram]

    property int data_cpu_temp: hwihandler_main.data_cpu_temp
    property int data_cpu_usage: hwihandler_main.data_cpu_usage
    property int data_cpu_fan: hwihandler_main.data_cpu_fan
    property int data_cpu_clock: hwihandler_main.data_cpu_clock
    property int data_gpu_clock: hwihandler_main.data_gpu_clock
    property int data_gpu_usage: hwihandler_main.data_gpu_usage
    property int data_gpu_fan: hwihandler_main.data_gpu_fan
    property int data_gpu_ramUsed: hwihandler_main.data_gpu_ramUsed
    property int data_gpu_ramTotal: hwihandler_main.data_gpu_ramTotal
    property int data_gpu_temp: hwihandler_main.data_gpu_temp
    property int data_ram_usage: hwihandler_main.data_ram_usage
    // Stored as int: the fraction is dropped toward zero.
    property int data_cpu_temp_F: hwihandler_main.data_cpu_temp * 9 / 5 + 32
    property int data_gpu_temp_F: hwihandler_main.data_gpu_temp * 9 / 5 + 32

    // Settings panel. The controller is deleted before the engine at exit: the guards keep
    // these bindings quiet then.
    property bool isShowFahrenheit: sys_controller ? sys_controller.isShowFah : false
    property bool isAutoRun: sys_controller ? sys_controller.isAutoRun : false
    property int index_language: sys_controller ? sys_controller.iLanguage : 2

    function log(text) {
        if (is_show_log)
            console.log(text)
    }

    // Each metric change marks its row, hands the value to the device link and (except GPU
    // load) tells the window that real data has arrived.
    function metricChanged(row, send, value, label, marksReady) {
        if (row && !row.isVarReady)
            row.isVarReady = true
        send(value)
        if (marksReady)
            is_data_ready = true
        // Runs for every reading that changes: the text is built only when it is logged.
        if (label && is_show_log)
            console.log(label + value)
    }

    onData_cpu_tempChanged: metricChanged(item_cpu_temp, sys_controller.set_send_cpu_temperature, data_cpu_temp, "[Changed] CPU Temp : ", true)
    onData_cpu_clockChanged: metricChanged(item_cpu_clock, sys_controller.set_send_cpu_frequency, data_cpu_clock, "[Changed] CPU Clock : ", true)
    onData_cpu_usageChanged: metricChanged(item_cpu_usage, sys_controller.set_send_cpu_utilization, data_cpu_usage, "[Changed] CPU Usage : ", true)
    onData_cpu_fanChanged: metricChanged(item_cpu_fan, sys_controller.set_send_cpu_fan_speed, data_cpu_fan, "[Changed] CPU Fan : ", true)
    onData_gpu_clockChanged: metricChanged(item_gpu_clock, sys_controller.set_send_gpu_frequency, data_gpu_clock, "[Changed] GPU Clock : ", true)
    onData_gpu_usageChanged: metricChanged(item_gpu_usage, sys_controller.set_send_gpu_utilization, data_gpu_usage, "[Changed] GPU Usage : ", false)
    // The frame carries a GPU fan field: forward it like the other ten.
    onData_gpu_fanChanged: metricChanged(item_gpu_fan, sys_controller.set_send_gpu_fan_speed, data_gpu_fan, "[Changed] GPU Fan : ", true)
    onData_gpu_ramUsedChanged: metricChanged(item_gpu_ram, sys_controller.set_send_gpu_memOcupancy, data_gpu_ramUsed, "[Changed] GPU Ram Used : ", true)
    onData_gpu_ramTotalChanged: metricChanged(item_gpu_ram, sys_controller.set_send_gpu_memTotal, data_gpu_ramTotal, "[Changed] GPU Ram Total : ", true)
    onData_gpu_tempChanged: metricChanged(item_gpu_temp, sys_controller.set_send_gpu_temperature, data_gpu_temp, "", true)
    onData_ram_usageChanged: metricChanged(null, sys_controller.set_send_ram_usage, data_ram_usage, "", true)

    onIs_data_readyChanged: {
        if (!is_data_ready)
            return
        name_cpu = hwihandler_main.getCpuName_QML()
        name_gpu = hwihandler_main.getGpuName_QML()
        is_gpu_exist = hwihandler_main.getIsGpuAvailable()
    }

    function selectedItem_cb(index_selected) {
        if (index_selected === index_item) {
            is_item_selected = !is_item_selected
            if (is_item_selected)
                allItems[index_selected].sigOpen()
            else
                allItems[index_selected].sigClose()
        } else {
            is_item_selected = true
            for (let i = 0; i < allItems.length; ++i) {
                if (i === index_selected)
                    allItems[i].sigOpen()
                else
                    allItems[i].sigClose()
            }
        }
        index_item = index_selected
        // A plain value from here on: the language drop-down rebuilds it after a switch.
        if (is_item_selected)
            tip_center_bar = (index_item < 4 ? qsTr("CPU") : qsTr("GPU")) + " " + allItems[index_item].item_tip
        else
            tip_center_bar = qsTr("点击选项显示")
        log("[Selected Call Back] Is Item Selected : " + is_item_selected)
        log("[Selected Call Back] Item Selected : " + index_item)
    }

    function rowClicked(row) {
        selectedItem_cb(row.index)
        index_item = row.index
    }

    // from/to follow isExpanded, which has already flipped here: run them from the old state.
    onIsExpandedChanged: {
        const was = !isExpanded
        anime_Expand.from = was ? 100 : 0
        anime_Expand.to = was ? 0 : 100
        anime_line_move.from = was ? -160 : -50
        anime_line_move.to = was ? -300 : -160
        anime_Expand.restart()
        anime_line_move.restart()
    }

    Component.onCompleted: {
        sys_controller.confFileSync()
        bt_item_cf_mode.syncState(isShowFahrenheit ? 3 : 0)
        bt_item_setting_boot.syncState(isAutoRun ? 3 : 0)
        log("index_language " + index_language + " " + sys_controller.iLanguage)
        // Without a tray there would be no way back to a hidden window.
        if (sys_desktop.trayAvailable())
            hide()
        else {
            show()
            shown_without_tray = true
        }
    }

    // The limits move first on the side that would clip: Wayland bounds the size by them.
    function fitHeight(h) {
        if (h < height) {
            minimumHeight = h
            height = h
            maximumHeight = h
        } else {
            maximumHeight = h
            height = h
            minimumHeight = h
        }
    }

    // The window manager's close (Alt+F4, a taskbar, a pager) puts the window away like the
    // close button; only the tray menu's Quit or the session's end stop the program.
    onClosing: function (close) {
        close.accepted = false
        putAway()
    }

    // The close button: into the tray, or down to the taskbar where no tray would bring it back.
    function putAway() {
        if (sys_desktop.trayAvailable())
            hide()
        else
            showMinimized()
    }

    // Escape puts the window away as its close button does.
    Shortcut {
        sequence: "Escape"
        onActivated: root.putAway()
    }

    FontLoader {
        id: font_black
        source: "qrc:/static/assets/font/SourceHanSansOLD-Heavy-2.otf"
    }
    FontLoader {
        id: font_medium
        source: "qrc:/static/assets/font/SourceHanSansOLD-Medium-2.otf"
    }
    FontLoader {
        id: font_focus
        source: "qrc:/static/assets/font/Aemstel-LineInside.ttf"
    }

    DuvHandler {
        id: hwihandler_main
        Component.onCompleted: {
            root.log("[DuvHandler Complete] GPU Exist :" + root.is_gpu_exist)
            root.log("[DuvHandler Complete] CPU: " + root.name_cpu)
            root.log("[DuvHandler Complete] GPU: " + root.name_gpu)
            hwihandler_main.RunAsync()
        }
    }

    Timer {
        id: timer_check_connected
        objectName: "timer_check_connected"
        interval: 1000
        running: true
        repeat: true
        onTriggered: {
            sys_controller.handlerCheckConnected()
            if (root.isConnected !== sys_controller.isConnected) {
                root.isConnected = sys_controller.isConnected
                anime_connect.restart()
            }
        }
    }

    // Made only once the tray can take it: Qt settles on a tray kind when the icon is made, and
    // a Wayland panel may come up after us.
    Instantiator {
        active: sys_desktop.trayIconReady
        delegate: Platform.SystemTrayIcon {
            id: gTray
            objectName: "gTray"
            icon.source: sys_desktop.trayIcon
            icon.mask: true
            visible: true
            tooltip: root.tray_icon_name
            // The platform opens this menu itself on a right click (reason Context).
            menu: Platform.Menu {
                id: trayMenu
                Platform.MenuItem {
                    text: root.tray_quit_string
                    onTriggered: Qt.quit()
                }
            }
            onActivated: function (reason) {
                // Minimised while there was no tray: show() alone would leave it so.
                if (root.visibility === Window.Minimized)
                    root.showNormal()
                else
                    root.show()
                root.raise()
                root.requestActivate()
            }
        }
    }

    // A tray that comes after the start takes the window that was shown only for want of one.
    property bool shown_without_tray: false
    Connections {
        target: sys_desktop
        function onTrayAppeared() {
            if (root.shown_without_tray) {
                root.shown_without_tray = false
                root.hide()
            }
        }
    }

    Rectangle {
        id: main_background_mask
        width: main_background.width
        height: main_background.height
        radius: 40
        visible: false
    }

    Rectangle {
        id: main_background
        objectName: "main_background"
        width: root.width
        height: root.height
        color: "black"
        radius: 40
        clip: true
        layer.enabled: true
        layer.effect: OpacityMask {
            maskSource: main_background_mask
        }

        Item {
            id: background_lines
            objectName: "background_lines"
            y: -160
            anchors.horizontalCenter: parent.horizontalCenter

            Image {
                anchors.top: parent.top
                anchors.horizontalCenter: parent.horizontalCenter
                // 1.6 MB decoded, of no use to a window that stays in the tray.
                source: root.was_shown ? "qrc:/static/assets/icon/bg_arrow.png" : ""
                scale: 1.24
            }
        }

        Rectangle {
            id: light_1
            objectName: "light_1"
            width: 160
            height: 100
            x: -width / 2
            y: -height / 2
            color: "gray"
            radius: 300
            opacity: 0
        }

        Rectangle {
            id: light_2
            width: 160
            height: 100
            x: main_background.width - 80
            y: main_background.height - 50
            color: "blue"
            radius: 300
            opacity: 0
        }

        // Glow.qml is MultiEffect where QtQuick.Effects exists, a Qt5Compat blur otherwise
        // (chosen by the build).
        Loader {
            anchors.fill: light_1
            source: "Glow.qml"
            onLoaded: {
                item.source = light_1
                item.blurMultiplier = 4
            }
        }
        Loader {
            anchors.fill: light_2
            source: "Glow.qml"
            onLoaded: {
                item.source = light_2
                item.blurMultiplier = 6
            }
        }
    }

    Item {
        id: area_main_bar
        anchors.top: parent.top
        width: root.width
        height: 80

        // Beneath every control of the window, so any press no control takes drags it.
        MouseArea {
            id: menuBarMouseArea
            objectName: "menuBarMouseArea"
            x: 0
            y: 0
            width: root.width
            height: root.height
            acceptedButtons: Qt.LeftButton
            property int pressedX
            property int pressedY
            property bool moveHandedOver: false

            onPressed: function (mouse) {
                pressedX = mouse.x
                pressedY = mouse.y
                moveHandedOver = false
                // A press on no control ends the keyboard's focus, ring and all.
                if (root.activeFocusItem && root.activeFocusItem !== root.contentItem)
                    root.activeFocusItem.focus = false
            }
            onPositionChanged: function (mouse) {
                if (!root.can_place_window) {
                    // Once a press: the compositor follows the pointer from here on.
                    if (!moveHandedOver) {
                        moveHandedOver = true
                        sys_desktop.startSystemMove(root)
                    }
                    return
                }
                if (root.visibility === 4) {
                    // Leaving the maximised state: keep the grabbed point at the same
                    // proportional spot of the restored window.
                    const xRatio = pressedX / root.width
                    const yRatio = pressedY / root.height
                    root.visibility = Window.Windowed
                    const mirrorX = xRatio * root.width + root.x
                    const mirrorY = yRatio * root.height + root.y
                    root.x += pressedX - mirrorX
                    root.y += pressedY - mirrorY
                    pressedX = xRatio * root.width
                    pressedY = yRatio * root.height
                    return
                }
                root.x += mouse.x - pressedX
                root.y += mouse.y - pressedY
            }
        }

        Rectangle {
            id: main_bar_mask
            anchors.fill: parent
            radius: 40
            color: "white"
            opacity: 0.02
        }
        Rectangle {
            anchors.fill: main_bar_mask
            radius: 40
            color: "transparent"
            border.width: 1
            border.color: "gray"
        }

        Item {
            id: area_connect_indi
            objectName: "area_connect_indi"
            width: 80
            height: 80
            anchors.left: parent.left
            anchors.top: parent.top

            Accessible.role: Accessible.StaticText
            Accessible.name: root.isConnected ? qsTranslate("access", "显示屏已连接")
                                              : qsTranslate("access", "显示屏未连接")

            Rectangle {
                id: connect_indi
                objectName: "connect_indi"
                width: 10
                height: 10
                radius: 10
                anchors.centerIn: parent
                color: root.isConnected ? "green" : "gray"
            }
        }

        Rectangle {
            id: bar_drop_indi
            width: 80
            height: 80
            anchors.right: parent.right
            anchors.top: parent.top
            color: "transparent"

            Rectangle {
                id: drop_indi
                width: 80
                height: 80
                anchors.centerIn: parent
                color: "transparent"

                ORB_RotButton {
                    id: indi
                    objectName: "indi"
                    width_root: 80
                    height_root: 80
                    anchors.centerIn: parent
                    img_source: "qrc:/static/assets/icon/icon_indi_n.png"
                    img_source_enter: "qrc:/static/assets/icon/icon_indi_h.png"
                    img_source_press: "qrc:/static/assets/icon/icon_indi_p.png"
                    isNormalbutton: false
                    ring_outset: -16
                    accessible_name: qsTranslate("access", "收起窗口")
                    accessible_checkable: true
                    accessible_checked: !root.isExpanded
                    onClickedFunction: function () {
                        action_expand.restart()
                        root.isExpanded = !root.isExpanded
                        root.log("Main window isExpanded " + root.isExpanded)
                    }

                    PropertyAnimation {
                        id: action_expand
                        target: root
                        property: "card_height"
                        from: root.isExpanded ? 800 : area_main_bar.height
                        to: root.isExpanded ? area_main_bar.height : 800
                        duration: 160
                        easing.type: Easing.OutQuart
                    }
                }
            }
        }

        Rectangle {
            id: area_bar_center
            objectName: "area_bar_center"
            Accessible.role: Accessible.StaticText
            Accessible.name: [root.tip_center_bar, root.var_center_bar, main_show_unit.text].filter(function (part) {
                return part !== ""
            }).join(" ")
            anchors.left: area_connect_indi.right
            anchors.right: bar_drop_indi.left
            anchors.top: parent.top
            height: parent.height
            color: "transparent"

            Item {
                id: area_main_show_tip
                anchors.top: parent.top
                anchors.topMargin: 4
                width: parent.width
                height: 14

                Text {
                    id: main_show_tip
                    objectName: "main_show_tip"
                    anchors.top: parent.top
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: root.tip_center_bar
                    font.family: font_black.name
                    font.pixelSize: 12
                    font.letterSpacing: 4
                    color: "white"
                }
            }

            Item {
                id: area_main_show_var
                anchors.top: area_main_show_tip.bottom
                anchors.topMargin: 2
                width: parent.width
                height: 50
                // Value and unit keep the 60 px face and the centred value while they fit. Past
                // that the value moves left until the unit ends at the edge, and only a value
                // still too wide takes a smaller face.
                readonly property real unitSpace: main_show_unit.text
                                                  ? main_show_unit.anchors.leftMargin + main_show_unit.implicitWidth
                                                  : 0

                // The value as wide as the 60 px face lays it out.
                Text {
                    id: main_show_var_full
                    visible: false
                    text: main_show_var.text
                    font.family: font_focus.name
                    font.pixelSize: 60
                }

                // Where the value sits centred, rounded as the anchors round it.
                Item {
                    id: main_show_var_centred
                    anchors.centerIn: parent
                    width: main_show_var.width
                    height: main_show_var.height
                }

                Text {
                    id: main_show_var
                    objectName: "main_show_var"
                    anchors.centerIn: parent
                    anchors.horizontalCenterOffset: {
                        const overflow = main_show_var_centred.x + width + parent.unitSpace - parent.width
                        return -Math.max(0, Math.min(overflow, main_show_var_centred.x))
                    }
                    horizontalAlignment: Text.AlignHCenter
                    text: root.var_center_bar
                    font.family: font_focus.name
                    font.pixelSize: Math.min(60, Math.floor(60 * (parent.width - parent.unitSpace)
                                                            / main_show_var_full.implicitWidth))
                    color: "#FFD243"
                }

                Text {
                    id: main_show_unit
                    objectName: "main_show_unit"
                    anchors.left: main_show_var.right
                    anchors.leftMargin: 4
                    anchors.top: parent.top
                    text: root.is_item_selected ? root.unit_center_bar : ""
                    font.family: font_black.name
                    font.pixelSize: 14
                    color: "#FFD243"
                }
            }
        }
    }

    Item {
        id: area_close_button
        width: 30
        height: 30
        anchors.top: area_main_bar.bottom
        anchors.topMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 30

        ORB_RotButton {
            objectName: "close_button"
            accessible_name: qsTranslate("access", "关闭")
            width_root: 30
            height_root: 30
            img_source: "qrc:/static/assets/icon/icon_close_n.png"
            img_source_enter: "qrc:/static/assets/icon/icon_close_h.png"
            img_source_press: "qrc:/static/assets/icon/icon_close_p.png"
            onClickedFunction: function () {
                root.putAway()
            }
        }
    }

    Item {
        id: area_cpu
        objectName: "area_cpu"
        // Collapsed, it lies outside the window: out of the Tab chain too.
        enabled: root.isExpanded
        anchors.top: area_close_button.bottom
        anchors.horizontalCenter: parent.horizontalCenter
        width: root.width * 0.85
        height: root.height * 0.3

        Rectangle {
            id: area_cpu_info_mask
            anchors.fill: parent
            anchors.topMargin: 30
            color: "white"
            opacity: 0.1
            radius: 20
        }
        Rectangle {
            id: indi_cpu_name
            width: 6
            height: 24
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.leftMargin: 4
        }
        Text {
            id: tip_cpu
            anchors.left: indi_cpu_name.right
            anchors.leftMargin: 6
            anchors.bottom: indi_cpu_name.bottom
            text: "CPU"
            font.family: font_black.name
            font.pixelSize: 18
            font.bold: true
            color: "white"
        }
        Text {
            id: var_cpu_name
            objectName: "var_cpu_name"
            anchors.left: tip_cpu.right
            anchors.leftMargin: 8
            anchors.bottom: tip_cpu.bottom
            // A long name is elided at the panel's edge, kept as far in as the bar on the left.
            width: Math.min(implicitWidth, parent.width - x - indi_cpu_name.anchors.leftMargin)
            elide: Text.ElideRight
            text: root.name_cpu
            font.family: font_black.name
            font.pixelSize: 18
            font.bold: true
            color: "white"
        }

        Column {
            id: area_info_cpu
            Accessible.role: Accessible.List
            Accessible.name: (tip_cpu.text + " " + root.name_cpu).trim()
            anchors.fill: parent
            anchors.leftMargin: 10
            anchors.rightMargin: 10
            anchors.topMargin: 50
            anchors.bottomMargin: 20

            ORB_SelButton {
                id: item_cpu_temp
                accessible_prefix: qsTr("CPU")
                width: parent.width
                height: area_info_cpu.height * 0.25
                fontSize: 14
                fontFamily: font_black.name
                property int index: 0
                item_tip: qsTr("温度")
                item_var: isVarReady ? String(root.isShowFahrenheit ? root.data_cpu_temp_F : root.data_cpu_temp) : ""
                item_unit: isVarReady ? (root.isShowFahrenheit ? "℉" : "℃") : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_cpu_temp) }
            }
            ORB_SelButton {
                id: item_cpu_clock
                accessible_prefix: qsTr("CPU")
                width: parent.width
                height: area_info_cpu.height * 0.25
                fontSize: 14
                fontFamily: font_black.name
                property int index: 1
                item_tip: qsTr("频率")
                item_var: isVarReady ? String(root.data_cpu_clock) : ""
                item_unit: isVarReady ? "MHz" : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_cpu_clock) }
            }
            ORB_SelButton {
                id: item_cpu_usage
                accessible_prefix: qsTr("CPU")
                width: parent.width
                height: area_info_cpu.height * 0.25
                fontSize: 14
                fontFamily: font_black.name
                property int index: 2
                item_tip: qsTr("使用率")
                item_var: isVarReady ? String(root.data_cpu_usage) : ""
                item_unit: isVarReady ? "%" : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_cpu_usage) }
            }
            ORB_SelButton {
                id: item_cpu_fan
                accessible_prefix: qsTr("CPU")
                width: parent.width
                height: area_info_cpu.height * 0.25
                fontSize: 14
                fontFamily: font_black.name
                property int index: 3
                item_tip: qsTr("风扇转速")
                item_var: isVarReady ? String(root.data_cpu_fan) : ""
                item_unit: isVarReady ? "RPM" : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_cpu_fan) }
            }
        }
    }

    Item {
        id: area_gpu
        objectName: "area_gpu"
        // Collapsed, it lies outside the window: out of the Tab chain too.
        enabled: root.isExpanded
        anchors.top: area_cpu.bottom
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        width: root.width * 0.85
        height: root.height * 0.3

        Rectangle {
            id: area_gpu_info_mask
            anchors.fill: parent
            anchors.topMargin: 30
            color: "white"
            opacity: 0.1
            radius: 20
        }
        Rectangle {
            id: indi_gpu_name
            width: 6
            height: 24
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.leftMargin: 4
        }
        Text {
            id: tip_gpu
            anchors.left: indi_gpu_name.right
            anchors.leftMargin: 6
            anchors.bottom: indi_gpu_name.bottom
            text: "GPU"
            font.family: font_black.name
            font.pixelSize: 18
            font.bold: true
            color: "white"
        }
        Text {
            id: var_gpu_name
            objectName: "var_gpu_name"
            anchors.left: tip_gpu.right
            anchors.leftMargin: 8
            anchors.bottom: tip_gpu.bottom
            // A long name is elided at the panel's edge, kept as far in as the bar on the left.
            width: Math.min(implicitWidth, parent.width - x - indi_gpu_name.anchors.leftMargin)
            elide: Text.ElideRight
            text: root.name_gpu
            font.family: font_black.name
            font.pixelSize: 18
            font.bold: true
            color: "white"
        }

        Column {
            id: area_info_gpu
            Accessible.role: Accessible.List
            Accessible.name: (tip_gpu.text + " " + root.name_gpu).trim()
            anchors.fill: parent
            anchors.leftMargin: 10
            anchors.rightMargin: 10
            anchors.topMargin: 40
            anchors.bottomMargin: 10

            ORB_SelButton {
                id: item_gpu_temp
                accessible_prefix: qsTr("GPU")
                width: parent.width
                height: area_info_gpu.height * 0.20
                fontSize: 14
                fontFamily: font_black.name
                property int index: 4
                item_tip: qsTr("温度")
                item_var: isVarReady ? String(root.isShowFahrenheit ? root.data_gpu_temp_F : root.data_gpu_temp) : ""
                item_unit: isVarReady ? (root.isShowFahrenheit ? "℉" : "℃") : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_gpu_temp) }
            }
            ORB_SelButton {
                id: item_gpu_clock
                accessible_prefix: qsTr("GPU")
                width: parent.width
                height: area_info_gpu.height * 0.20
                fontSize: 14
                fontFamily: font_black.name
                property int index: 5
                item_tip: qsTr("频率")
                item_var: isVarReady ? String(root.data_gpu_clock) : ""
                item_unit: isVarReady ? "MHz" : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_gpu_clock) }
            }
            ORB_SelButton {
                id: item_gpu_usage
                accessible_prefix: qsTr("GPU")
                width: parent.width
                height: area_info_gpu.height * 0.20
                fontSize: 14
                fontFamily: font_black.name
                property int index: 6
                item_tip: qsTr("使用率")
                item_var: isVarReady ? String(root.data_gpu_usage) : ""
                item_unit: isVarReady ? "%" : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_gpu_usage) }
            }
            ORB_SelButton {
                id: item_gpu_fan
                accessible_prefix: qsTr("GPU")
                width: parent.width
                height: area_info_gpu.height * 0.20
                fontSize: 14
                fontFamily: font_black.name
                property int index: 7
                item_tip: qsTr("风扇转速")
                item_var: isVarReady ? String(root.data_gpu_fan) : ""
                item_unit: isVarReady ? "%(PWM)" : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_gpu_fan) }
            }
            ORB_SelButton {
                id: item_gpu_ram
                accessible_prefix: qsTr("GPU")
                width: parent.width
                height: area_info_gpu.height * 0.20
                fontSize: 14
                fontFamily: font_black.name
                property int index: 8
                item_tip: qsTr("显存占用")
                item_var: isVarReady ? String(root.data_gpu_ramUsed) : ""
                item_unit: isVarReady ? (root.is_gpu_exist ? "/" + root.data_gpu_ramTotal + " MB" : qsTr("MB(共享)"))
                                      : qsTr("无数据")
                function_cb: function () { root.rowClicked(item_gpu_ram) }
            }
        }
    }

    Item {
        id: area_setting
        objectName: "area_setting"
        // Collapsed, it lies outside the window: out of the Tab chain too.
        enabled: root.isExpanded
        anchors.top: area_gpu.bottom
        anchors.topMargin: 20
        anchors.horizontalCenter: parent.horizontalCenter
        width: root.width * 0.8
        height: root.height * 0.15

        Item {
            id: item_setting_boot
            anchors.top: parent.top
            width: parent.width
            height: parent.height * 0.33

            Text {
                id: tip_item_setting_boot
                objectName: "tip_item_setting_boot"
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("系统自启动")
                font.family: font_black.name
                font.pixelSize: 18
                font.bold: true
                color: "white"
            }
            ORB_Switch {
                id: bt_item_setting_boot
                objectName: "bt_item_setting_boot"
                Accessible.name: tip_item_setting_boot.text
                width: 60
                height: 30
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                function_cb: function () {
                    if (bt_item_setting_boot.switch_state !== 0) {
                        root.log("BOOT Mode ON")
                        sys_controller.setIsAutoRun(true)
                    } else {
                        root.log("BOOT Mode OFF")
                        sys_controller.setIsAutoRun(false)
                    }
                    sys_controller.syncConfFile()
                }
            }
        }

        Item {
            id: item_cf_mode
            anchors.top: item_setting_boot.bottom
            width: parent.width
            height: parent.height * 0.33

            Text {
                id: tip_item_cf_mode
                objectName: "tip_item_cf_mode"
                anchors.left: parent.left
                anchors.verticalCenter: parent.verticalCenter
                text: qsTr("华氏度显示")
                font.family: font_black.name
                font.pixelSize: 18
                font.bold: true
                color: "white"
            }
            ORB_Switch {
                id: bt_item_cf_mode
                objectName: "bt_item_cf_mode"
                Accessible.name: tip_item_cf_mode.text
                width: 60
                height: 30
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                function_cb: function () {
                    // The device gets the CPU temperature once in the new unit at once.
                    if (bt_item_cf_mode.switch_state === 3) {
                        sys_controller.setIsShowFah(true)
                        sys_controller.set_send_cpu_temperature(root.data_cpu_temp_F)
                    } else {
                        sys_controller.setIsShowFah(false)
                        sys_controller.set_send_cpu_temperature(root.data_cpu_temp)
                    }
                    sys_controller.syncConfFile()
                    root.log("Is ShowFah Now: " + sys_controller.isShowFah)
                }
            }
        }

        ORB_DropBar {
            id: db_language_setting
            objectName: "db_language_setting"
            anchors.top: item_cf_mode.bottom
            width: parent.width
            height: parent.height * 0.33
            name_tip: qsTr("语言")
            font_tip: font_black.name
            font_option_selected: font_black.name
            font_list_item: font_black.name
            list_options: ["简体中文", "繁体中文", "English"]
            index: root.index_language
            function_cb: function change_language() {
                sys_controller.setILanguage(db_language_setting.index)
                // Twice: the selection ends as it was and the tip is rebuilt in the new language.
                root.selectedItem_cb(root.index_item)
                root.selectedItem_cb(root.index_item)
                sys_controller.syncConfFile()
            }
        }
    }

    Item {
        id: root_foot
        objectName: "root_foot"
        width: root.width * 0.8
        height: 30
        anchors.bottom: parent.bottom
        anchors.horizontalCenter: parent.horizontalCenter

        Text {
            anchors.centerIn: parent
            text: root.version_info
            font.pixelSize: 10
            color: "white"
            opacity: 0.3
        }
    }

    PropertyAnimation {
        id: anime_Expand
        targets: [root_foot, area_cpu, area_gpu, area_setting]
        property: "opacity"
        duration: 100
        easing.type: Easing.OutQuart
    }

    PropertyAnimation {
        id: anime_line_move
        target: background_lines
        property: "y"
        duration: 1000
        easing.type: Easing.InOutQuart
    }

    ColorAnimation {
        id: anime_connect
        target: light_1
        property: "color"
        from: root.isConnected ? "gray" : "green"
        to: root.isConnected ? "green" : "gray"
        duration: 800
        easing.type: Easing.InOutQuart
    }
}
