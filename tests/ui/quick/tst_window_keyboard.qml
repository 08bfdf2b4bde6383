import QtQuick
import QtTest

// The window from the keyboard alone, and what a screen reader is told about each control.
WindowTestCase {
    name: "WindowKeyboard"

    function popup(bar) { return bar.children[1] }

    // Shown and active, so the keys reach it.
    function openActive(stored) {
        stored = stored || {}
        if (stored.language === undefined)
            stored.language = 2
        openWindow(stored)
        win.show()
        win.requestActivate()
        tryVerify(function () { return win.active }, 5000)
        return win
    }

    function focused() { return win.activeFocusItem }

    // The controls in the order Tab reaches them.
    function tabOrder() {
        return [child("indi"), child("close_button")].concat(win.allItems)
                .concat([child("bt_item_setting_boot"), child("bt_item_cf_mode"), child("db_language_setting")])
    }

    // The item that takes a control's focus: the buttons hand it to an inner item.
    function focusOf(control) { return control.focus_item || control }

    function tabTo(target) {
        for (let i = 0; i < 20 && focused() !== focusOf(target); ++i)
            keyClick(Qt.Key_Tab)
        verify(focused() === focusOf(target), "Tab never reached " + target)
    }

    function test_tabWalksEveryControlBothWays() {
        openActive()
        const order = tabOrder()
        for (let i = 0; i < order.length; ++i) {
            keyClick(Qt.Key_Tab)
            verify(focused() === focusOf(order[i]), "Tab step " + i)
            verify(order[i].focus_ring_shown, "no ring at step " + i)
        }
        keyClick(Qt.Key_Tab)
        verify(focused() === focusOf(order[0]), "Tab wraps to the first control")
        for (let i = order.length - 1; i >= 0; --i) {
            keyClick(Qt.Key_Backtab)
            verify(focused() === focusOf(order[i]), "Shift+Tab step " + i)
        }
    }

    function test_rowsSelectAsByClick() {
        openActive()
        bridge.data_cpu_usage = 37
        tabTo(row(2))
        keyClick(Qt.Key_Space)
        compare(win.is_item_selected, true)
        compare(win.index_item, 2)
        compare(row(2).isSelected, true)
        compare(win.tip_center_bar, "CPU Usage")
        compare(win.var_center_bar, "37")
        keyClick(Qt.Key_Tab)
        keyClick(Qt.Key_Return)
        compare(win.index_item, 3)
        compare(row(2).isSelected, false)
        keyClick(Qt.Key_Return)
        compare(win.is_item_selected, false)
        compare(win.tip_center_bar, "Click Item to Display")
    }

    // The same controller calls, in the same order, as the mouse tests expect.
    function test_switchesSaveAsByClick() {
        openActive()
        bridge.data_cpu_temp = 40
        const boot = child("bt_item_setting_boot")
        tabTo(boot)
        sys_controller.clearCalls()
        keyClick(Qt.Key_Space)
        compare(boot.switch_state, 3)
        verify(Qt.colorEqual(boot.children[1].color, "#FFD243"))
        keyClick(Qt.Key_Return)
        compare(boot.switch_state, 0)
        // No pointer came, so none leaves: the knob of the switch that went off is white.
        verify(Qt.colorEqual(boot.children[1].color, "white"))
        compare(sys_controller.callNames(), ["setIsAutoRun", "syncConfFile", "setIsAutoRun", "syncConfFile"])
        compare(sys_controller.argsOf("setIsAutoRun"), ["true", "false"])

        keyClick(Qt.Key_Tab)
        sys_controller.clearCalls()
        keyClick(Qt.Key_Space)
        compare(sys_controller.callNames(), ["setIsShowFah", "set_send_cpu_temperature", "syncConfFile"])
        compare(sent("set_send_cpu_temperature"), [104])
        compare(rowValue(0), "104 ℉")
    }

    function test_languageFromTheKeyboard() {
        openActive()
        const bar = child("db_language_setting")
        tabTo(bar)
        keyClick(Qt.Key_Space)
        tryCompare(popup(bar), "height", 90, 3000)
        // The current option has the focus; the list opens upward, so Down goes towards slot 0.
        compare(focused().index, 2)
        keyClick(Qt.Key_Down)
        compare(focused().index, 1)
        keyClick(Qt.Key_Down)
        keyClick(Qt.Key_Down)
        compare(focused().index, 0)
        keyClick(Qt.Key_Up)
        keyClick(Qt.Key_Up)
        keyClick(Qt.Key_Up)
        compare(focused().index, 2)
        keyClick(Qt.Key_Down)
        sys_controller.clearCalls()
        keyClick(Qt.Key_Return)
        compare(sys_controller.callNames(), ["setILanguage", "syncConfFile"])
        compare(sys_controller.argsOf("setILanguage"), ["1"])
        tryCompare(popup(bar), "height", 0, 3000)
        verify(focused() === bar)
        compare(child("tip_item_setting_boot").text, "系統自啟動")

        // Return opens, Escape closes without picking, and the window stays.
        keyClick(Qt.Key_Return)
        tryCompare(popup(bar), "height", 90, 3000)
        sys_controller.clearCalls()
        keyClick(Qt.Key_Escape)
        tryCompare(popup(bar), "height", 0, 3000)
        verify(win.visible)
        verify(focused() === bar)
        compare(sys_controller.callNames(), [])
    }

    function test_escapePutsTheWindowAway_data() {
        return [{ tag: "tray", tray: true }, { tag: "no tray", tray: false }]
    }

    function test_escapePutsTheWindowAway(data) {
        openActive({ tray: data.tray })
        keyClick(Qt.Key_Tab)
        keyClick(Qt.Key_Escape)
        if (data.tray)
            tryVerify(function () { return !win.visible }, 3000)
        else
            tryCompare(win, "visibility", Window.Minimized, 3000)
    }

    function test_collapseAndExpandFromTheKeyboard() {
        openActive()
        keyClick(Qt.Key_Tab)
        verify(focused() === child("indi").focus_item)
        keyClick(Qt.Key_Return)
        compare(win.isExpanded, false)
        tryCompare(win, "height", 80, 3000)
        compare(child("indi").focus_item.Accessible.checked, true)
        // Collapsed, only the two buttons remain in the Tab chain.
        keyClick(Qt.Key_Tab)
        verify(focused() === child("close_button").focus_item)
        keyClick(Qt.Key_Tab)
        verify(focused() === child("indi").focus_item)
        keyClick(Qt.Key_Space)
        compare(win.isExpanded, true)
        tryCompare(win, "height", 800, 3000)
        compare(child("indi").focus_item.Accessible.checked, false)
    }

    // With the mouse nothing shows a ring; a press hides one the keyboard had shown.
    function test_noRingForThePointer() {
        openActive()
        const boot = child("bt_item_setting_boot")
        mouseClick(boot)
        mouseClick(row(1))
        const order = tabOrder()
        for (let i = 0; i < order.length; ++i)
            verify(!order[i].focus_ring_shown, "ring after a click at " + i)
        tabTo(boot)
        verify(boot.focus_ring_shown)
        mouseClick(boot)
        verify(!boot.focus_ring_shown)
        keyClick(Qt.Key_Space)
        verify(boot.focus_ring_shown)
    }

    function test_accessibleRolesAndNames() {
        openActive({ language: -1, autoRun: true })
        compare(row(0).Accessible.role, Accessible.ListItem)
        compare(row(0).Accessible.name, "CPU 温度 无数据")
        compare(row(8).Accessible.name, "GPU 显存占用 无数据")
        bridge.data_cpu_temp = 48
        compare(row(0).Accessible.name, "CPU 温度 48 ℃")
        compare(row(0).Accessible.selectable, true)
        compare(row(0).Accessible.selected, false)

        const boot = child("bt_item_setting_boot")
        const fah = child("bt_item_cf_mode")
        compare(boot.Accessible.role, Accessible.CheckBox)
        compare(boot.Accessible.name, "系统自启动")
        compare(boot.Accessible.checked, true)
        compare(fah.Accessible.name, "华氏度显示")
        compare(fah.Accessible.checked, false)

        const bar = child("db_language_setting")
        compare(bar.Accessible.role, Accessible.ComboBox)
        compare(bar.Accessible.name, "语言")
        compare(popup(bar).Accessible.role, Accessible.List)
        compare(child("close_button").focus_item.Accessible.role, Accessible.Button)
        compare(child("close_button").focus_item.Accessible.name, "关闭")
        compare(child("indi").focus_item.Accessible.name, "收起窗口")
        compare(child("area_bar_center").Accessible.role, Accessible.StaticText)
        compare(child("area_bar_center").Accessible.name, "点击选项显示 SENSOR")
        compare(child("area_connect_indi").Accessible.name, "显示屏未连接")

        // English: every name follows, the fixed texts stay.
        sys_controller.setILanguage(2)
        compare(row(0).Accessible.name, "CPU Temperature 48 ℃")
        compare(row(3).Accessible.name, "CPU Fan Speed No Data")
        compare(boot.Accessible.name, "Autostart")
        compare(fah.Accessible.name, "Display Fahrenheit")
        compare(bar.Accessible.name, "Language")
        compare(bar.Accessible.description, "English")
        compare(child("close_button").focus_item.Accessible.name, "Close")
        compare(child("indi").focus_item.Accessible.name, "Collapse Window")
        compare(child("area_connect_indi").Accessible.name, "Display Not Connected")
        const names = [0, 1, 2].map(function (n) { return bar.slot(n).Accessible.name })
        compare(names, ["简体中文", "繁体中文", "English"])
        compare(bar.slot(2).Accessible.selected, true)
        compare(bar.slot(0).Accessible.selected, false)
    }

    // What an assistive technology's actions do: the same as a click.
    function test_accessibleActions() {
        openActive({ language: 2 })
        bridge.data_gpu_clock = 1500
        row(5).Accessible.pressAction()
        compare(win.is_item_selected, true)
        compare(row(5).Accessible.selected, true)
        compare(child("area_bar_center").Accessible.name, "GPU Frequency 1500 MHz")

        const fah = child("bt_item_cf_mode")
        sys_controller.clearCalls()
        fah.accessibleToggleAction()
        compare(fah.Accessible.checked, true)
        compare(sys_controller.callNames(), ["setIsShowFah", "set_send_cpu_temperature", "syncConfFile"])

        const bar = child("db_language_setting")
        sys_controller.clearCalls()
        bar.slot(0).Accessible.pressAction()
        compare(sys_controller.argsOf("setILanguage"), ["0"])
        compare(bar.slot(0).Accessible.selected, true)
    }
}
