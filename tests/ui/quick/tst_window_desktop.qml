import QtQuick
import QtTest
import Qt.labs.platform as Platform

// The window as window managers and trays meet it: size limits that stay equal through the
// collapse (tiling compositors float it), the window manager's close putting it away, and a
// tray that comes after the start.
WindowTestCase {
    name: "WindowDesktop"

    function checkFixed(height) {
        compare(win.height, height)
        compare([win.minimumWidth, win.maximumWidth], [490, 490])
        compare([win.minimumHeight, win.maximumHeight], [height, height])
    }

    function test_sizeLimitsFollowTheCollapse() {
        openWindow()
        checkFixed(800)
        const indi = child("indi")
        mouseClick(indi)
        tryCompare(win, "height", 80, 3000)
        checkFixed(80)
        mouseClick(indi)
        tryCompare(win, "height", 800, 3000)
        checkFixed(800)
    }

    function test_windowManagerClosePutsAway_data() {
        return [{ tag: "tray", tray: true }, { tag: "no tray", tray: false }]
    }

    function test_windowManagerClosePutsAway(data) {
        openWindow({ tray: data.tray })
        win.show()
        verify(win.visible)
        // What Alt+F4 or a taskbar's Close sends.
        win.close()
        if (data.tray) {
            verify(!win.visible)
        } else {
            verify(win.visible)
            compare(win.visibility, Window.Minimized)
        }
        // Still there, and the tray brings it back.
        child("gTray").activated(Platform.SystemTrayIcon.Trigger)
        verify(win.visible)
        compare(win.visibility, Window.Windowed)
    }

    function test_lateTrayTakesTheWindowShownForWantOfOne() {
        openWindow({ tray: false })
        verify(win.visible)
        sys_desktop.tray = true
        sys_desktop.trayAppeared()
        verify(!win.visible)
        // Once: a window the user brings up afterwards stays up.
        child("gTray").activated(Platform.SystemTrayIcon.Trigger)
        sys_desktop.trayAppeared()
        verify(win.visible)
    }

    function test_iconMadeOnlyWhenTheTrayCanTakeIt() {
        openWindow({ tray: true })
        verify(child("gTray"))
        sys_desktop.trayIconReady = false
        // Made objects go at the next turn of the event loop.
        tryVerify(() => findChild(win, "gTray") === null, 3000)
        sys_desktop.trayIconReady = true
        const icon = child("gTray")
        compare(icon.icon.source, Qt.resolvedUrl("qrc:/logo/tray.png"))
        verify(icon.visible)
    }
}
