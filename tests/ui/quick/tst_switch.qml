import QtQuick
import QtTest
import "qrc:/ZOLVEN/ORB_Components"

// TestCase itself is invisible: the controls live in a visible scene beside it.
Item {
    id: scene
    width: 200
    height: 100

    TestCase {
        id: tc
        name: "Switch"
        when: windowShown

        property var seen: []

        Component {
            id: switchComponent
            ORB_Switch {
                width: 60
                height: 30
            }
        }

        function init() {
            seen = []
            // Park the pointer away from where the next switch appears.
            mouseMove(scene, 190, 90)
        }

        function knob(sw) { return sw.children[1] }

        function test_geometry() {
            const sw = createTemporaryObject(switchComponent, scene)
            compare(knob(sw).width, 18)
            compare(sw.start_pos, 6)
            compare(sw.end_pos, 36)
            compare(knob(sw).x, 6)
            compare(sw.switch_state, 0)
            verify(Qt.colorEqual(knob(sw).color, "white"))
        }

        function test_syncStateOnSlidesRight() {
            const sw = createTemporaryObject(switchComponent, scene)
            sw.syncState(3)
            compare(sw.switch_state, 3)
            verify(Qt.colorEqual(knob(sw).color, "#FFD243"))
            // It slides rather than jumps.
            compare(knob(sw).x, 6)
            tryCompare(knob(sw), "x", 36, 3000)
        }

        function test_syncStateOffWhileOffStartsNothing() {
            const sw = createTemporaryObject(switchComponent, scene)
            sw.syncState(0)
            wait(20)
            compare(knob(sw).x, 6)
            verify(Qt.colorEqual(knob(sw).color, "white"))
        }

        function test_clicksToggleAndCallBack() {
            const sw = createTemporaryObject(switchComponent, scene, {
                function_cb: function () { tc.seen.push(sw.switch_state) }
            })
            mouseMove(sw)
            mouseClick(sw)
            compare(sw.switch_state, 3)
            tryCompare(knob(sw), "x", 36, 3000)
            mouseClick(sw)
            compare(sw.switch_state, 0)
            // Right after any click the knob is the accent colour, also when turned off ...
            verify(Qt.colorEqual(knob(sw).color, "#FFD243"))
            tryCompare(knob(sw), "x", 6, 3000)
            // ... and an off knob turns white once the pointer leaves.
            mouseMove(scene, 190, 90)
            verify(Qt.colorEqual(knob(sw).color, "white"))
            compare(seen, [3, 0])
        }

        function test_onKnobKeepsColourOnHover() {
            const sw = createTemporaryObject(switchComponent, scene)
            sw.syncState(3)
            mouseMove(sw, 10, 10)
            verify(Qt.colorEqual(knob(sw).color, "#FFD243"))
            mouseMove(scene, 190, 90)
            verify(Qt.colorEqual(knob(sw).color, "#FFD243"))
            sw.syncState(0)
            mouseMove(sw, 10, 10)
            verify(Qt.colorEqual(knob(sw).color, "#DBA319"))
        }

        function test_quickToggleEndsOnLastState() {
            const sw = createTemporaryObject(switchComponent, scene)
            sw.syncState(3)
            wait(30)
            sw.syncState(0)
            tryCompare(knob(sw), "x", 6, 3000)
            wait(250)
            compare(knob(sw).x, 6)
        }
    }
}
