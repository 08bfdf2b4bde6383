import QtQuick
import Qt5Compat.GraphicalEffects

// The glow for Qt versions without QtQuick.Effects: the same blur radius, brightness and
// saturation, built from Qt5Compat effects. Same interface as the MultiEffect version.
Item {
    id: glow

    property Item source: null
    property real blurMultiplier: 0
    // MultiEffect widens its 64 px blur by (1 + multiplier) and pads by as much. FastBlur
    // breaks down beyond 64 px, so the blur runs at 1 / (1 + multiplier) scale and is
    // enlarged afterwards: the same spread, and cheap.
    readonly property real factor: 1 + blurMultiplier
    readonly property real spread: 64 * factor

    Item {
        x: -glow.spread
        y: -glow.spread
        width: (glow.width + 2 * glow.spread) / glow.factor
        height: (glow.height + 2 * glow.spread) / glow.factor
        scale: glow.factor
        transformOrigin: Item.TopLeft

        ShaderEffectSource {
            id: padded
            anchors.fill: parent
            sourceItem: glow.source
            sourceRect: Qt.rect(-glow.spread, -glow.spread, glow.width + 2 * glow.spread,
                                glow.height + 2 * glow.spread)
            visible: false
        }

        FastBlur {
            id: blurred
            anchors.fill: parent
            source: padded
            radius: 64
            visible: false
        }

        BrightnessContrast {
            id: brightened
            anchors.fill: parent
            source: blurred
            brightness: 0.2
            visible: false
        }

        HueSaturation {
            anchors.fill: parent
            source: brightened
            saturation: 0.4
        }
    }
}
