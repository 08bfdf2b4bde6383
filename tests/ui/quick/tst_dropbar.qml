import QtQuick
import QtTest
import "qrc:/ZOLVEN/ORB_Components"

// TestCase itself is invisible: the controls live in a visible scene beside it.
Item {
    id: scene
    width: 400
    height: 300

    Item {
        id: holder
        x: 0
        y: 200
        width: 392
        height: 40
    }

    TestCase {
        id: tc
        name: "DropBar"
        when: windowShown

        property int calls: 0

        Component {
            id: barComponent
            ORB_DropBar {
                list_options: ["简体中文", "繁体中文", "English"]
                name_tip: "语言"
                index: 2
            }
        }

        function init() {
            calls = 0
            mouseMove(scene, 390, 10)
        }

        // main_area > [underline, label, current option, mouse area]; then the list.
        function underline(bar) { return bar.children[0].children[0] }
        function current(bar) { return bar.children[0].children[2] }
        function popup(bar) { return bar.children[1] }

        function test_fillsParentAndShowsCurrent() {
            const bar = createTemporaryObject(barComponent, holder)
            compare(bar.width, 392)
            compare(bar.height, 40)
            compare(current(bar).text, "English")
            compare(popup(bar).height, 0)
        }

        function test_underlineFollowsHover() {
            const bar = createTemporaryObject(barComponent, holder)
            mouseMove(bar, 100, 20)
            tryCompare(underline(bar), "width", 392, 3000)
            mouseMove(scene, 10, 10)
            tryCompare(underline(bar), "width", 0, 3000)
        }

        function test_opensUpwardAndPicks() {
            const bar = createTemporaryObject(barComponent, holder, {
                function_cb: function () { tc.calls++ }
            })
            mouseClick(bar, 100, 20)
            verify(bar.clicked_ctl)
            tryCompare(popup(bar), "height", 90, 3000)
            // The list lies above the bar: the bottom slot is the first option.
            const p = popup(bar)
            compare(p.y + p.height, 0)
            mouseClick(bar, 196, -15)   // slot 0
            compare(bar.index, 0)
            compare(current(bar).text, "简体中文")
            compare(calls, 1)
            verify(!bar.clicked_ctl)
            tryCompare(popup(bar), "height", 0, 3000)
        }

        function test_pickingCurrentStillClosesAndCallsBack() {
            const bar = createTemporaryObject(barComponent, holder, {
                function_cb: function () { tc.calls++ }
            })
            mouseClick(bar, 100, 20)
            tryCompare(popup(bar), "height", 90, 3000)
            mouseClick(bar, 196, -75)   // slot 2, the current one
            compare(bar.index, 2)
            compare(calls, 1)
            tryCompare(popup(bar), "height", 0, 3000)
        }

        function test_closedListTakesNoInput() {
            const bar = createTemporaryObject(barComponent, holder, {
                function_cb: function () { tc.calls++ }
            })
            mouseClick(bar, 196, -15)
            mouseClick(bar, 196, -75)
            compare(calls, 0)
            compare(bar.index, 2)
        }

        function test_userBindingDroppedAfterPick() {
            const bar = createTemporaryObject(barComponent, holder)
            bar.index = Qt.binding(function () { return tc.calls })
            mouseClick(bar, 100, 20)
            tryCompare(popup(bar), "height", 90, 3000)
            mouseClick(bar, 196, -45)   // slot 1
            compare(bar.index, 1)
            tc.calls = 0
            compare(bar.index, 1)
        }

        function test_slotHoverColour() {
            const bar = createTemporaryObject(barComponent, holder)
            mouseClick(bar, 100, 20)
            tryCompare(popup(bar), "height", 90, 3000)
            const slot0Text = popup(bar).children[0].children[0]
            mouseMove(bar, 196, -15)
            verify(Qt.colorEqual(slot0Text.color, "yellow"))
            mouseMove(bar, 196, -75)
            verify(Qt.colorEqual(slot0Text.color, "white"))
        }
    }
}
