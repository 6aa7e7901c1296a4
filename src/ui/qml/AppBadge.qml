import QtQuick
import VoxleafNative 1.0

// 46 × 46 rounded square in the primary gradient with the waveform symbol
// and two glows (secondary at 0.6, primary at 0.5).
Item {
    id: badge
    width: 46
    height: 46

    Repeater {
        model: [{ c: app.theme.secondary, a: 0.6, r: 8 }, { c: app.theme.primary, a: 0.5, r: 6 }]
        Repeater {
            id: layer
            readonly property var spec: modelData
            model: 4
            Rectangle {
                readonly property real spread: (index + 1) * layer.spec.r / 4
                x: -spread
                y: -spread
                width: badge.width + 2 * spread
                height: badge.height + 2 * spread
                radius: 14 + spread
                color: "transparent"
                border.width: layer.spec.r / 4 + 0.5
                border.color: Qt.rgba(layer.spec.c.r, layer.spec.c.g, layer.spec.c.b,
                                      layer.spec.a * 0.35 * (1 - index / 4))
            }
        }
    }

    GradientBox {
        anchors.fill: parent
        radius: 14
        colors: app.theme.primaryGradient
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
