import QtQuick
import QtTest

// Base for the main window tests: opens the real main.qml from the resources against the
// fake controller (sys_controller), the fake bridge (bridges.latest) and the fake desktop
// (sys_desktop).
TestCase {
    when: windowShown

    property var win: null
    property var bridge: null

    // stored: what the controller's confFileSync "reads"; language -1 installs no catalogue,
    // so the window shows its source texts. tray and platform: what the desktop offers (by
    // default no tray and the platform the tests run on).
    function openWindow(stored) {
        stored = stored || {}
        sys_controller.reset(stored.autoRun === true, stored.showFah === true,
                             stored.language === undefined ? -1 : stored.language)
        sys_desktop.reset()
        sys_desktop.tray = stored.tray === true
        if (stored.platform)
            sys_desktop.platformName = stored.platform
        bridges.cpuName = "Test CPU 9000"
        bridges.gpuName = "Test GPU 480"
        bridges.gpuAvailable = stored.gpu === true
        const component = Qt.createComponent("qrc:/ZOLVEN/main.qml")
        verify(component.status === Component.Ready, component.errorString())
        win = component.createObject(null)
        verify(win !== null)
        bridge = bridges.latest
        verify(bridge !== null)
        // The content item takes the window's size once the platform window exists.
        if (win.visible)
            tryCompare(win.contentItem, "width", win.width)
        return win
    }

    function cleanup() {
        if (win) {
            win.destroy()
            win = null
        }
        wait(0)
    }

    function child(name) {
        const found = findChild(win.contentItem, name) || findChild(win, name)
        verify(found, "no child named " + name)
        return found
    }

    function row(index) {
        return win.allItems[index]
    }

    // What a row shows on its right: value, a space, unit.
    function rowValue(index) {
        return row(index).item_var + " " + row(index).item_unit
    }

    function sent(name) {
        return sys_controller.argsOf(name).map(Number)
    }

    function clickRow(index) {
        mouseClick(row(index))
    }
}
