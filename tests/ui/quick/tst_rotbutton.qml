import QtQuick
import QtTest
import "qrc:/ZOLVEN/ORB_Components"

// TestCase itself is invisible: the controls live in a visible scene beside it.
Item {
    id: scene
    width: 200
    height: 200

    TestCase {
        id: tc
        name: "RotButton"
        when: windowShown

        property int calls: 0

        Component {
            id: buttonComponent
            ORB_RotButton {
                width_root: 80
                height_root: 80
                img_source: "qrc:/static/assets/icon/icon_indi_n.png"
                img_source_enter: "qrc:/static/assets/icon/icon_indi_h.png"
                img_source_press: "qrc:/static/assets/icon/icon_indi_p.png"
            }
        }

        function init() {
            calls = 0
            mouseMove(scene, 190, 190)
        }

        function image(button) {
            return button.children[0].children[0]
        }

        function test_normalButtonNeverTurns() {
            const b = createTemporaryObject(buttonComponent, scene, {
                onClickedFunction: function () { tc.calls++ }
            })
            compare(b.rotation, 90)
            for (let i = 1; i <= 3; ++i) {
                mouseClick(b)
                wait(200)
                compare(b.rotation, 90)
                compare(b.isActivated, i % 2 === 0)
            }
            compare(calls, 3)
        }

        function test_turnsOnEveryClick() {
            const b = createTemporaryObject(buttonComponent, scene, { isNormalbutton: false })
            mouseClick(b)
            tryCompare(b, "rotation", 0)
            compare(b.isActivated, false)
            mouseClick(b)
            tryCompare(b, "rotation", 90)
            compare(b.isActivated, true)
        }

        function test_quickClicksRestAtParity_data() {
            return [{ tag: "two", clicks: 2, rest: 90 }, { tag: "three", clicks: 3, rest: 0 },
                    { tag: "four", clicks: 4, rest: 90 }]
        }

        function test_quickClicksRestAtParity(data) {
            const b = createTemporaryObject(buttonComponent, scene, { isNormalbutton: false })
            for (let i = 0; i < data.clicks; ++i) {
                mouseClick(b)
                wait(40)    // well inside the 160 ms turn
            }
            wait(300)
            compare(b.rotation, data.rest)
        }

        function test_images() {
            const b = createTemporaryObject(buttonComponent, scene)
            const img = image(b)
            compare(String(img.source), "qrc:/static/assets/icon/icon_indi_n.png")
            mouseMove(b, 40, 40)
            compare(String(img.source), "qrc:/static/assets/icon/icon_indi_h.png")
            mousePress(b, 40, 40)
            compare(String(img.source), "qrc:/static/assets/icon/icon_indi_p.png")
            // Release keeps the press picture until the pointer leaves.
            mouseRelease(b, 40, 40)
            compare(String(img.source), "qrc:/static/assets/icon/icon_indi_p.png")
            mouseMove(scene, 190, 190)
            compare(String(img.source), "qrc:/static/assets/icon/icon_indi_n.png")
        }

        function test_unsetCallbackIsNoError() {
            const b = createTemporaryObject(buttonComponent, scene)
            mouseClick(b)
            compare(b.isActivated, false)
        }
    }
}
