import QtQuick
import Qt5Compat.GraphicalEffects

// The glow for Qt versions without QtQuick.Effects: the same blur radius, brightness and
// saturation, built from Qt5Compat effects. Same interface as the MultiEffect version.
Item {
    id: glow

    property Item source: null
    property real blurMultiplier: 0
    // MultiEffect widens its blur to blurMax x (1 + multiplier) and pads by as much.
    readonly property real spread: 64 * (1 + blurMultiplier)

    ShaderEffectSource {
        id: padded
        x: -glow.spread
        y: -glow.spread
        width: glow.width + 2 * glow.spread
        height: glow.height + 2 * glow.spread
        sourceItem: glow.source
        sourceRect: Qt.rect(-glow.spread, -glow.spread, width, height)
        // A quarter of the size is plenty for a blur this wide and keeps the passes cheap.
        textureSize: Qt.size(Math.ceil(width / 4), Math.ceil(height / 4))
        visible: false
    }

    FastBlur {
        id: blurred
        anchors.fill: padded
        source: padded
        radius: glow.spread
        visible: false
    }

    BrightnessContrast {
        id: brightened
        anchors.fill: padded
        source: blurred
        brightness: 0.2
        visible: false
    }

    HueSaturation {
        anchors.fill: padded
        source: brightened
        saturation: 0.4
    }
}
