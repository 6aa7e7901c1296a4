import QtQuick
import Voxleaf

// 46 × 46 rounded square in the primary gradient with the waveform symbol
// and two glows (secondary at 0.6, primary at 0.5).
Item {
    id: badge
    width: 46
    height: 46

    // Secondary at 0.6, radius 8.
    Repeater {
        model: 4
        Rectangle {
            readonly property real spread: (index + 1) * 8 / 4
            readonly property color base: Theme.secondary
            x: -spread
            y: -spread
            width: badge.width + 2 * spread
            height: badge.height + 2 * spread
            radius: 14 + spread
            color: "transparent"
            border.width: 8 / 4 + 0.5
            border.color: Qt.rgba(base.r, base.g, base.b, 0.6 * 0.35 * (1 - index / 4))
        }
    }
    // Primary at 0.5, radius 6.
    Repeater {
        model: 4
        Rectangle {
            readonly property real spread: (index + 1) * 6 / 4
            readonly property color base: Theme.primary
            x: -spread
            y: -spread
            width: badge.width + 2 * spread
            height: badge.height + 2 * spread
            radius: 14 + spread
            color: "transparent"
            border.width: 6 / 4 + 0.5
            border.color: Qt.rgba(base.r, base.g, base.b, 0.5 * 0.35 * (1 - index / 4))
        }
    }
    GradientBox {
        anchors.fill: parent
        radius: 14
        colors: Theme.primaryGradient
        borderWidth: 1
        borderColor: Qt.rgba(1, 1, 1, 0.35)
    }
    Symbol {
        anchors.centerIn: parent
        name: "waveform"
        size: 24
        color: "white"
    }
}
