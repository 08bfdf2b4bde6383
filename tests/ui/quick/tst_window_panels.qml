import QtQuick
import QtTest

WindowTestCase {
    name: "WindowPanels"

    function test_beforeAnyData() {
        openWindow()
        for (let i = 0; i < 9; ++i) {
            compare(row(i).isVarReady, false)
            compare(rowValue(i), " 无数据")
        }
        compare(row(0).item_tip, "温度")
        compare(row(8).item_tip, "显存占用")
        compare(win.var_center_bar, "LOADING...")
        compare(win.tip_center_bar, "点击选项显示")
        compare(child("main_show_unit").text, "")
        compare(win.name_cpu, "")
    }

    // Every metric reaches the controller on a change of value, the GPU fan included.
    function test_changesAreForwarded_data() {
        return [
            { tag: "cpu temp", prop: "data_cpu_temp", send: "set_send_cpu_temperature", row: 0, ready: true },
            { tag: "cpu clock", prop: "data_cpu_clock", send: "set_send_cpu_frequency", row: 1, ready: true },
            { tag: "cpu usage", prop: "data_cpu_usage", send: "set_send_cpu_utilization", row: 2, ready: true },
            { tag: "cpu fan", prop: "data_cpu_fan", send: "set_send_cpu_fan_speed", row: 3, ready: true },
            { tag: "gpu temp", prop: "data_gpu_temp", send: "set_send_gpu_temperature", row: 4, ready: true },
            { tag: "gpu clock", prop: "data_gpu_clock", send: "set_send_gpu_frequency", row: 5, ready: true },
            { tag: "gpu usage", prop: "data_gpu_usage", send: "set_send_gpu_utilization", row: 6, ready: false },
            { tag: "gpu fan", prop: "data_gpu_fan", send: "set_send_gpu_fan_speed", row: 7, ready: true },
            { tag: "gpu ram used", prop: "data_gpu_ramUsed", send: "set_send_gpu_memOcupancy", row: 8, ready: true },
            { tag: "gpu ram total", prop: "data_gpu_ramTotal", send: "set_send_gpu_memTotal", row: 8, ready: true },
            { tag: "ram usage", prop: "data_ram_usage", send: "set_send_ram_usage", row: -1, ready: true },
        ]
    }

    function test_changesAreForwarded(data) {
        openWindow()
        sys_controller.clearCalls()
        bridge[data.prop] = 57
        compare(sent(data.send), [57])
        if (data.row >= 0)
            compare(row(data.row).isVarReady, true)
        for (let i = 0; i < 9; ++i)
            if (i !== data.row)
                compare(row(i).isVarReady, false, "row " + i)
        compare(win.is_data_ready, data.ready)
        compare(win.var_center_bar, data.ready ? "SENSOR" : "LOADING...")

        // The bridge notifies on every write; only a new value is forwarded.
        bridge[data.prop] = 57
        compare(sent(data.send), [57])
        bridge[data.prop] = -3
        compare(sent(data.send), [57, -3])
        // Nothing else went to the controller.
        compare(sys_controller.callNames().filter(n => n !== data.send), [])
    }

    function test_zeroIsNoChange() {
        openWindow()
        bridge.data_cpu_fan = 0
        compare(row(3).isVarReady, false)
        compare(sent("set_send_cpu_fan_speed"), [])
    }

    function test_namesTakenOnceAtFirstData() {
        openWindow({ gpu: true })
        bridge.data_gpu_usage = 30
        compare(win.name_cpu, "")
        bridge.data_cpu_temp = 45
        compare(win.name_cpu, "Test CPU 9000")
        compare(win.name_gpu, "Test GPU 480")
        compare(win.is_gpu_exist, true)
        compare(child("var_cpu_name").text, "Test CPU 9000")
        bridges.cpuName = "Another"
        bridge.data_cpu_temp = 46
        bridge.data_gpu_clock = 1500
        compare(bridge.nameReads, 1)
        compare(win.name_cpu, "Test CPU 9000")
    }

    function test_rowTexts() {
        openWindow()
        bridge.data_cpu_temp = 45
        bridge.data_cpu_clock = 3600
        bridge.data_cpu_usage = 12
        bridge.data_cpu_fan = 1200
        bridge.data_gpu_fan = 40
        compare(rowValue(0), "45 ℃")
        compare(rowValue(1), "3600 MHz")
        compare(rowValue(2), "12 %")
        compare(rowValue(3), "1200 RPM")
        compare(rowValue(7), "40 %(PWM)")
    }

    function test_gpuMemoryRow_data() {
        return [{ tag: "shared", gpu: false, text: "1024 MB(共享)" },
                { tag: "dedicated", gpu: true, text: "1024 /8192 MB" }]
    }

    function test_gpuMemoryRow(data) {
        openWindow({ gpu: data.gpu })
        bridge.data_gpu_ramTotal = 8192
        bridge.data_gpu_ramUsed = 1024
        compare(rowValue(8), data.text)
    }

    function test_fahrenheitRows_data() {
        return [{ tag: "37", c: 37, f: 98 }, { tag: "-40", c: -40, f: -40 },
                { tag: "-21 drops toward zero", c: -21, f: -5 }, { tag: "100", c: 100, f: 212 }]
    }

    function test_fahrenheitRows(data) {
        openWindow({ showFah: true })
        bridge.data_cpu_temp = data.c
        bridge.data_gpu_temp = data.c
        compare(rowValue(0), data.f + " ℉")
        compare(rowValue(4), data.f + " ℉")
        // The device always gets Celsius from a change.
        compare(sent("set_send_cpu_temperature"), [data.c])
        compare(sent("set_send_gpu_temperature"), [data.c])
    }

    function test_selectionAndCentreReadout() {
        openWindow()
        // The first click on row 0 selects it (index_item starts at 0).
        clickRow(0)
        compare(win.is_item_selected, true)
        compare(row(0).isSelected, true)
        compare(win.tip_center_bar, "CPU 温度")
        compare(win.var_center_bar, "NO DATA")
        compare(child("main_show_unit").text, "")

        // The read-out follows the selected row live.
        bridge.data_cpu_temp = 45
        compare(win.var_center_bar, "45")
        compare(child("main_show_unit").text, "℃")
        bridge.data_cpu_temp = 47
        compare(child("main_show_var").text, "47")

        clickRow(5)
        compare(row(0).isSelected, false)
        compare(row(5).isSelected, true)
        compare(win.tip_center_bar, "GPU 频率")
        compare(win.var_center_bar, "NO DATA")
        compare(win.index_item, 5)

        clickRow(3)
        compare(win.tip_center_bar, "CPU 风扇转速")
        compare(win.allItems.filter(r => r.isSelected).length, 1)

        // Clicking the selected row again deselects it.
        clickRow(3)
        compare(win.is_item_selected, false)
        compare(row(3).isSelected, false)
        compare(win.tip_center_bar, "点击选项显示")
        compare(win.var_center_bar, "SENSOR")
        compare(child("main_show_unit").text, "")
    }

    // A name that fits keeps its natural width; a longer one is elided inside its panel.
    function test_namesStayInsideThePanels_data() {
        return [{ tag: "short", cpu: "Test CPU 9000", gpu: "Test GPU 480", fits: true },
                { tag: "Ryzen", cpu: "AMD Ryzen 9 7950X3D 16-Core Processor",
                  gpu: "Advanced Micro Devices, Inc. [AMD/ATI] Navi 31 [Radeon RX 7900 XTX]", fits: false },
                { tag: "Threadripper", cpu: "AMD Ryzen Threadripper PRO 7995WX 96-Cores",
                  gpu: "NVIDIA Corporation AD102GL [RTX 6000 Ada Generation] (rev a1)", fits: false }]
    }

    function test_namesStayInsideThePanels(data) {
        openWindow({ gpu: true })
        bridges.cpuName = data.cpu
        bridges.gpuName = data.gpu
        bridge.data_cpu_temp = 45
        for (const [name, panelName] of [["var_cpu_name", "area_cpu"], ["var_gpu_name", "area_gpu"]]) {
            const text = child(name)
            const panel = child(panelName)
            const right = text.mapToItem(panel, text.width, 0).x
            verify(right <= panel.width, name + " ends at " + right + " of " + panel.width)
            compare(text.truncated, !data.fits, name)
            if (data.fits)
                compare(text.width, text.implicitWidth, name)
        }
    }

    // Where the read-out's value and unit are, in the 330 px between the light and the chevron.
    function readout() {
        const value = child("main_show_var")
        const unit = child("main_show_unit")
        const area = value.parent
        compare(area.width, 330)
        const left = value.mapToItem(area, 0, 0).x
        const valueRight = value.mapToItem(area, value.implicitWidth, 0).x
        return { left: left, centre: (left + valueRight) / 2, size: value.font.pixelSize,
                 right: unit.text ? unit.mapToItem(area, unit.implicitWidth, 0).x : valueRight,
                 unitSpace: unit.text ? unit.anchors.leftMargin + unit.implicitWidth : 0 }
    }

    TextMetrics {
        id: probe
    }

    // Every value a metric can hold, with the longest unit it comes with, stays inside; the face
    // is 60 px and the value centred wherever that fits, and a smaller face one pixel larger
    // would not fit.
    function test_centreReadoutFits_data() {
        const rows = [{ tag: "LOADING...", text: "LOADING..." }, { tag: "NO DATA", row: 2 },
                      { tag: "SENSOR", prop: "data_cpu_usage", value: 12 },
                      { tag: "45 ℃", row: 0, prop: "data_cpu_temp", value: 45, centred: true },
                      { tag: "3600 MHz", row: 1, prop: "data_cpu_clock", value: 3600, centred: true },
                      { tag: "70000 /131072 MB", row: 8, prop: "data_gpu_ramUsed", value: 70000,
                        total: 131072, fullSize: true }]
        for (const v of [2147483647, -2147483648, -1]) {
            rows.push({ tag: "clock " + v, row: 1, prop: "data_cpu_clock", value: v })
            rows.push({ tag: "gpu fan " + v, row: 7, prop: "data_gpu_fan", value: v })
            rows.push({ tag: "fahrenheit " + v, row: 0, prop: "data_cpu_temp", value: v, showFah: true })
            rows.push({ tag: "gpu memory " + v, row: 8, prop: "data_gpu_ramUsed", value: v, total: v })
            rows.push({ tag: "shared memory " + v, row: 8, prop: "data_gpu_ramUsed", value: v, shared: true })
        }
        return rows
    }

    function test_centreReadoutFits(data) {
        openWindow({ gpu: data.shared !== true, showFah: data.showFah === true })
        if (data.total !== undefined)
            bridge.data_gpu_ramTotal = data.total
        if (data.prop)
            bridge[data.prop] = data.value
        if (data.row !== undefined)
            clickRow(data.row)
        if (data.text)
            compare(child("main_show_var").text, data.text)
        const box = readout()
        verify(box.left >= 0, data.tag + " starts at " + box.left)
        verify(box.right <= 330, data.tag + " ends at " + box.right)
        if (data.centred)
            verify(Math.abs(box.centre - 165) <= 0.5, data.tag + " centred at " + box.centre)
        if (data.centred || data.fullSize)
            compare(box.size, 60)
        if (box.size < 60) {
            probe.font = child("main_show_var").font
            probe.font.pixelSize = box.size + 1
            probe.text = child("main_show_var").text
            verify(probe.advanceWidth + box.unitSpace > 330, data.tag + " shrank to " + box.size)
        }
    }

    // Values of every length, each checked as above, on the rows with the longest units.
    function test_centreReadoutFitsEveryLength() {
        openWindow({ gpu: true })
        for (const row of [1, 8]) {
            clickRow(row)
            for (let digits = 1; digits <= 10; ++digits) {
                const nines = Math.min(Math.pow(10, digits) - 1, 2147483647)
                for (const v of [nines, -nines, Math.floor(nines / 9) * 4]) {
                    bridge.data_gpu_ramTotal = v
                    bridge.data_gpu_ramUsed = v
                    bridge.data_cpu_clock = v
                    const box = readout()
                    verify(box.left >= 0 && box.right <= 330, v + ": " + box.left + " to " + box.right)
                    if (box.size < 60) {
                        probe.font = child("main_show_var").font
                        probe.font.pixelSize = box.size + 1
                        probe.text = child("main_show_var").text
                        verify(probe.advanceWidth + box.unitSpace > 330, v + " shrank to " + box.size)
                    }
                }
            }
        }
    }

    function test_gpuRowsPrefixGpu_data() {
        return [4, 5, 6, 7, 8].map(i => ({ tag: "row " + i, index: i }))
    }

    function test_gpuRowsPrefixGpu(data) {
        openWindow()
        clickRow(data.index)
        verify(win.tip_center_bar.startsWith("GPU "), win.tip_center_bar)
        compare(win.tip_center_bar, "GPU " + row(data.index).item_tip)
    }
}
