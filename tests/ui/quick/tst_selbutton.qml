import QtQuick
import QtTest
import "qrc:/ZOLVEN/ORB_Components"

// TestCase itself is invisible: the controls live in a visible scene beside it.
Item {
    id: scene
    width: 400
    height: 200

    TestCase {
        id: tc
        name: "SelButton"
        when: windowShown

        property int calls: 0

        Component {
            id: rowComponent
            ORB_SelButton {
                width: 300
                height: 40
                item_tip: "温度"
                item_var: "45"
                item_unit: "℃"
            }
        }

        function init() {
            calls = 0
            mouseMove(scene, 390, 190)
        }

        // item_clock > [bar, tip, value, mouse area]
        function bar(row) { return row.children[0].children[0] }
        function texts(row) { return [row.children[0].children[1].text, row.children[0].children[2].text] }

        function test_texts() {
            const row = createTemporaryObject(rowComponent, scene)
            compare(texts(row), ["温度", "45 ℃"])
            row.item_var = ""
            row.item_unit = "No Data"
            compare(texts(row)[1], " No Data")
        }

        function test_barFollowsPointer() {
            const row = createTemporaryObject(rowComponent, scene, {
                function_cb: function () { tc.calls++ }
            })
            verify(Qt.colorEqual(bar(row).color, "transparent"))
            mouseMove(row, 100, 20)
            verify(Qt.colorEqual(bar(row).color, "white"))
            mousePress(row, 100, 20)
            verify(Qt.colorEqual(bar(row).color, "#FFD243"))
            mouseRelease(row, 100, 20)
            verify(Qt.colorEqual(bar(row).color, "#FFD243"))
            compare(calls, 1)
            // Not selected: the bar clears when the pointer leaves.
            mouseMove(scene, 390, 190)
            verify(Qt.colorEqual(bar(row).color, "transparent"))
        }

        function test_releaseOutsideIsNoClick() {
            const row = createTemporaryObject(rowComponent, scene, {
                function_cb: function () { tc.calls++ }
            })
            mouseMove(row, 100, 20)
            mousePress(row, 100, 20)
            mouseMove(scene, 390, 190)
            mouseRelease(scene, 390, 190)
            compare(calls, 0)
            verify(Qt.colorEqual(bar(row).color, "transparent"))
        }

        function test_selectedKeepsBar() {
            const row = createTemporaryObject(rowComponent, scene)
            row.sigOpen()
            verify(row.isSelected)
            verify(Qt.colorEqual(bar(row).color, "#FFD243"))
            mouseMove(row, 100, 20)
            verify(Qt.colorEqual(bar(row).color, "#FFD243"))
            mouseMove(scene, 390, 190)
            verify(Qt.colorEqual(bar(row).color, "#FFD243"))
            row.sigClose()
            verify(!row.isSelected)
            verify(Qt.colorEqual(bar(row).color, "transparent"))
        }

        function test_clickWhileSelectedMayClose() {
            const row = createTemporaryObject(rowComponent, scene)
            row.function_cb = function () { row.sigClose() }
            row.sigOpen()
            mouseClick(row, 100, 20)
            // The callback's sigClose wins although the pointer is still over the row.
            verify(!row.isSelected)
            verify(Qt.colorEqual(bar(row).color, "transparent"))
        }

        function test_nonFunctionCallbackIgnored() {
            const row = createTemporaryObject(rowComponent, scene, { function_cb: 42 })
            mouseClick(row, 100, 20)
            verify(Qt.colorEqual(bar(row).color, "#FFD243"))
        }
    }
}
