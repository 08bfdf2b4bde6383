import QtQuick
import QtQuick.Effects

// A soft glow drawn from an invisible rectangle (Qt 6.5 and later).
MultiEffect {
    brightness: 0.2
    saturation: 0.4
    autoPaddingEnabled: true
    blurEnabled: true
    blurMax: 64
    blur: 1.0
}
