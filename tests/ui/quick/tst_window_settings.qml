import QtQuick
import QtTest

WindowTestCase {
    name: "WindowSettings"

    function knob(sw) { return sw.children[1] }
    function popup(bar) { return bar.children[1] }

    // Opens the language list and picks slot n (0 nearest the bar).
    function pickLanguage(n) {
        const bar = child("db_language_setting")
        mouseClick(bar, 20, bar.height / 2)
        tryCompare(popup(bar), "height", 90, 3000)
        mouseClick(bar, bar.width / 2, -15 - 30 * n)
        tryCompare(popup(bar), "height", 0, 3000)
    }

    function test_startFromStoredSettings() {
        openWindow({ autoRun: true, showFah: false, language: 1 })
        const boot = child("bt_item_setting_boot")
        const fah = child("bt_item_cf_mode")
        compare(boot.switch_state, 3)
        verify(Qt.colorEqual(knob(boot).color, "#FFD243"))
        tryCompare(knob(boot), "x", 36, 3000)
        compare(fah.switch_state, 0)
        compare(knob(fah).x, 6)
        verify(Qt.colorEqual(knob(fah).color, "white"))
        compare(child("db_language_setting").index, 1)
        compare(child("tip_item_setting_boot").text, "系統自啟動")
    }

    function test_autostartToggle() {
        openWindow()
        const boot = child("bt_item_setting_boot")
        sys_controller.clearCalls()
        mouseClick(boot)
        mouseClick(boot)
        compare(sys_controller.callNames(), ["setIsAutoRun", "syncConfFile", "setIsAutoRun", "syncConfFile"])
        compare(sys_controller.argsOf("setIsAutoRun"), ["true", "false"])
    }

    function test_fahrenheitSwitchForwardsCpuTemperatureOnce() {
        openWindow()
        bridge.data_cpu_temp = 40
        bridge.data_gpu_temp = 50
        sys_controller.clearCalls()
        const fah = child("bt_item_cf_mode")

        mouseClick(fah)
        compare(sys_controller.callNames(), ["setIsShowFah", "set_send_cpu_temperature", "syncConfFile"])
        compare(sent("set_send_cpu_temperature"), [104])
        compare(win.isShowFahrenheit, true)
        compare(rowValue(0), "104 ℉")
        compare(rowValue(4), "122 ℉")

        // The next change goes out in Celsius again.
        bridge.data_cpu_temp = 41
        compare(sent("set_send_cpu_temperature"), [104, 41])

        sys_controller.clearCalls()
        mouseClick(fah)
        compare(sys_controller.argsOf("setIsShowFah"), ["false"])
        compare(sent("set_send_cpu_temperature"), [41])
        compare(rowValue(0), "41 ℃")
    }

    function test_englishRetranslatesEverything() {
        openWindow()
        bridge.data_gpu_clock = 1500
        clickRow(5)
        sys_controller.clearCalls()
        pickLanguage(2)
        compare(sys_controller.callNames(), ["setILanguage", "syncConfFile"])
        compare(sys_controller.argsOf("setILanguage"), ["2"])
        // The selection survives and the tip is rebuilt in the new language.
        compare(win.is_item_selected, true)
        compare(row(5).isSelected, true)
        compare(win.tip_center_bar, "GPU Frequency")
        compare(child("tip_item_setting_boot").text, "Autostart")
        compare(child("tip_item_cf_mode").text, "Display Fahrenheit")
        compare(child("db_language_setting").name_tip, "Language")
        compare(row(0).item_tip, "Temperature")
        compare(rowValue(0), " No Data")
        compare(row(3).item_tip, "Fan Speed")
        bridge.data_gpu_ramUsed = 512
        compare(rowValue(8), "512 MB(Shared)")
    }

    function test_languageWithNothingSelected() {
        openWindow()
        pickLanguage(2)
        compare(win.is_item_selected, false)
        compare(win.tip_center_bar, "Click Item to Display")
        clickRow(3)
        compare(win.tip_center_bar, "CPU Fan Speed")
    }

    function test_traditionalChinese() {
        openWindow({ language: 2 })
        compare(win.tip_center_bar, "Click Item to Display")
        pickLanguage(1)
        compare(win.tip_center_bar, "點擊選項顯示")
        compare(row(6).item_tip, "使用率")
        compare(row(4).item_tip, "溫度")
        bridge.data_gpu_ramUsed = 512
        compare(rowValue(8), "512 MB(共享)")
        compare(rowValue(0), " 無數據")
    }

    function test_pickingCurrentLanguageStillRuns() {
        openWindow({ language: 2 })
        clickRow(2)
        sys_controller.clearCalls()
        pickLanguage(2)
        compare(sys_controller.callNames(), ["setILanguage", "syncConfFile"])
        compare(win.is_item_selected, true)
        compare(row(2).isSelected, true)
        compare(win.tip_center_bar, "CPU Usage")
    }
}
