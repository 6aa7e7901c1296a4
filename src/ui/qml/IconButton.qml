import QtQuick
import QtQuick.Controls.Basic
import Voxleaf

// A plain body-size symbol in a 28 × 28 hit area, with a help text.
AbstractButton {
    id: control
    property string symbol: ""
    property string help: ""
    property color tint: Theme.textPrimary
    property real symbolSize: 16
    implicitWidth: 28
    implicitHeight: 28
    hoverEnabled: true
    focusPolicy: Qt.NoFocus

    background: Rectangle {
        radius: 7
        color: control.down ? Qt.rgba(control.tint.r, control.tint.g, control.tint.b, 0.22)
                            : control.hovered ? Qt.rgba(control.tint.r, control.tint.g, control.tint.b, 0.12)
                                              : "transparent"
    }
    contentItem: Item {
        Symbol {
            anchors.centerIn: parent
            name: control.symbol
            size: control.symbolSize
            color: control.enabled ? control.tint : Theme.textSecondary
        }
    }

    HelpToolTip {
        text: control.help
        visible: control.hovered && control.help.length > 0
    }
}
