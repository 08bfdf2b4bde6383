import QtQuick
import QtTest
import Qt.labs.platform as Platform

WindowTestCase {
    name: "WindowShell"

    function test_start_data() {
        return [{ tag: "tray", tray: true }, { tag: "no tray", tray: false }]
    }

    function test_start(data) {
        openWindow({ tray: data.tray })
        compare(sys_controller.callNames()[0], "confFileSync")
        compare(bridge.runCount, 1)
        // With a tray the window starts hidden; without one it must stay reachable.
        compare(win.visible, !data.tray)
    }

    function test_trayActivationShowsWindow_data() {
        return [{ tag: "left click", reason: Platform.SystemTrayIcon.Trigger },
                { tag: "right click", reason: Platform.SystemTrayIcon.Context },
                { tag: "double click", reason: Platform.SystemTrayIcon.DoubleClick }]
    }

    function test_trayActivationShowsWindow(data) {
        openWindow()
        win.hide()
        verify(!win.visible)
        child("gTray").activated(data.reason)
        verify(win.visible)
    }

    function test_connectionPoll() {
        openWindow()
        const timer = child("timer_check_connected")
        compare(timer.interval, 1000)
        verify(timer.running && timer.repeat)
        timer.interval = 40
        const dot = child("connect_indi")
        const light = child("light_1")
        verify(Qt.colorEqual(dot.color, "gray"))

        sys_controller.setConnected(true)
        tryCompare(win, "isConnected", true, 3000)
        verify(Qt.colorEqual(dot.color, "green"))
        // The glow turns green, once: the following ticks restart nothing.
        tryVerify(function () { return Qt.colorEqual(light.color, "green") }, 3000)
        for (let i = 0; i < 8; ++i) {
            wait(25)
            verify(Qt.colorEqual(light.color, "green"))
        }

        sys_controller.setConnected(false)
        tryCompare(win, "isConnected", false, 3000)
        verify(Qt.colorEqual(dot.color, "gray"))
        tryVerify(function () { return Qt.colorEqual(light.color, "gray") }, 3000)
    }

    function test_closeHidesAndPollGoesOn() {
        openWindow({ tray: true })
        win.show()
        child("timer_check_connected").interval = 40
        mouseClick(child("close_button"))
        verify(!win.visible)
        sys_controller.clearCalls()
        bridge.data_cpu_temp = 51
        tryVerify(function () { return sys_controller.argsOf("handlerCheckConnected").length >= 2 }, 3000)
        compare(sent("set_send_cpu_temperature"), [51])
    }

    // Without a tray nothing could bring a hidden window back: the close button minimises it,
    // whether the tray was missing at start or went away later.
    function test_closeWithoutTray_data() {
        return [{ tag: "no tray at start", atStart: false, atClose: false },
                { tag: "tray gone later", atStart: true, atClose: false },
                { tag: "tray come later", atStart: false, atClose: true }]
    }

    function test_closeWithoutTray(data) {
        openWindow({ tray: data.atStart })
        win.show()
        tryCompare(win.contentItem, "width", win.width)
        sys_desktop.tray = data.atClose
        mouseClick(child("close_button"))
        if (data.atClose) {
            verify(!win.visible)
        } else {
            verify(win.visible)
            compare(win.visibility, Window.Minimized)
            // A tray that turns up later brings it back as the program's own icon would.
            child("gTray").activated(Platform.SystemTrayIcon.Trigger)
            verify(win.visible)
            compare(win.visibility, Window.Windowed)
        }
    }

    function test_collapseAndExpand() {
        openWindow()
        const indi = child("indi")
        const areas = ["area_cpu", "area_gpu", "area_setting", "root_foot"].map(child)
        const lines = child("background_lines")
        compare(indi.rotation, 90)
        compare(lines.y, -160)

        mouseClick(indi)
        compare(win.isExpanded, false)
        tryCompare(win, "height", 80, 3000)
        compare(child("main_background").height, 80)
        tryCompare(indi, "rotation", 0, 3000)
        for (const a of areas)
            tryCompare(a, "opacity", 0, 3000)
        tryCompare(lines, "y", -300, 4000)

        mouseClick(indi)
        compare(win.isExpanded, true)
        // The backdrop jumps to -50 and glides back to -160.
        verify(lines.y > -160)
        tryCompare(win, "height", 800, 3000)
        tryCompare(indi, "rotation", 90, 3000)
        for (const a of areas)
            tryCompare(a, "opacity", 1, 3000)
        tryCompare(lines, "y", -160, 4000)
    }

    function test_twoQuickClicksReturnToExpanded() {
        openWindow()
        const indi = child("indi")
        mouseClick(indi)
        wait(40)
        mouseClick(indi)
        compare(win.isExpanded, true)
        tryCompare(win, "height", 800, 3000)
        tryCompare(indi, "rotation", 90, 3000)
        tryCompare(child("area_cpu"), "opacity", 1, 3000)
        tryCompare(child("background_lines"), "y", -160, 4000)
    }

    function drag(item, x, y, dx, dy) {
        mousePress(item, x, y)
        mouseMove(item, x + dx, y + dy)
        mouseRelease(item, x + dx, y + dy)
    }

    function test_dragFromHeaderLabelsAndTitles_data() {
        return [{ tag: "header", name: "main_show_tip" }, { tag: "setting label", name: "tip_item_setting_boot" },
                { tag: "panel title", name: "var_cpu_name" }]
    }

    function test_dragFromHeaderLabelsAndTitles(data) {
        openWindow()
        win.x = 100
        win.y = 100
        const item = child(data.name)
        drag(item, 2, 2, 30, 20)
        compare(win.x, 130)
        compare(win.y, 120)
    }

    function test_controlsTakeThePress_data() {
        return [{ tag: "row", name: "" }, { tag: "switch", name: "bt_item_setting_boot" },
                { tag: "language bar", name: "db_language_setting" }]
    }

    function test_controlsTakeThePress(data) {
        openWindow()
        win.x = 100
        win.y = 100
        const item = data.name ? child(data.name) : row(1)
        drag(item, 5, 5, 30, 20)
        compare(win.x, 100)
        compare(win.y, 100)
    }

    // Where a client cannot place windows, a press and a move hand the move to the compositor,
    // once a press; the window's own position is left alone.
    function test_dragWhereWindowsCannotBePlaced_data() {
        return [{ tag: "wayland", platform: "wayland", moves: 1 },
                { tag: "wayland-egl", platform: "wayland-egl", moves: 1 },
                { tag: "xcb", platform: "xcb", moves: 0 }]
    }

    function test_dragWhereWindowsCannotBePlaced(data) {
        openWindow({ platform: data.platform })
        win.x = 100
        win.y = 100
        const item = child("main_show_tip")
        mousePress(item, 2, 2)
        mouseMove(item, 32, 22)
        compare(sys_desktop.systemMoves, data.moves)
        if (data.moves)
            mouseMove(item, 40, 30)
        mouseRelease(item, 32, 22)
        compare(sys_desktop.systemMoves, data.moves)
        compare(win.x, data.moves ? 100 : 130)
        compare(win.y, data.moves ? 100 : 120)
        // A click alone moves nothing.
        mouseClick(item, 2, 2)
        compare(sys_desktop.systemMoves, data.moves)
    }

    function test_dragOutOfMaximised() {
        openWindow()
        win.visibility = Window.Maximized
        if (win.visibility !== Window.Maximized)
            skip("this platform does not maximise windows")
        tryCompare(win.contentItem, "width", win.width)
        const area = child("menuBarMouseArea")
        const maxWidth = win.width
        const maxHeight = win.height
        // In the gap between the header and the CPU panel: nothing else takes the press.
        mousePress(area, 600, 100)
        mouseMove(area, 610, 105)
        compare(win.visibility, Window.Windowed)
        // The grabbed point keeps its proportional place in the restored window.
        const xRatio = 600 / maxWidth
        const yRatio = 100 / maxHeight
        compare(area.pressedX, Math.trunc(xRatio * win.width))
        compare(area.pressedY, Math.trunc(yRatio * win.height))
        mouseRelease(area, 610, 105)
    }
}
