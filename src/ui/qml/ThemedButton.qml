import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// A labelled button: "prominent" (filled with the tint) or bordered, with an
// optional leading symbol, a busy state and a help text.
AbstractButton {
    id: control
    property string symbol: ""
    property string help: ""
    property bool prominent: false
    property bool destructive: false
    property bool busy: false
    property string busyText: ""
    property color tint: Theme.primary
    property real symbolSize: 15
    property int fontSize: Theme.FontBody
    property int fontWeight: Font.Medium
    readonly property color labelColor: prominent ? (tint.hslLightness > 0.62 ? "#101014" : "white")
                                                  : (destructive ? Theme.danger : Theme.textPrimary)
    hoverEnabled: true
    focusPolicy: Qt.NoFocus
    padding: 6
    leftPadding: 12
    rightPadding: 12
    implicitWidth: contentItem.implicitWidth + leftPadding + rightPadding
    implicitHeight: Math.max(30, contentItem.implicitHeight + topPadding + bottomPadding)
    opacity: enabled ? 1.0 : 0.45

    background: Rectangle {
        radius: 8
        color: control.prominent
               ? Qt.lighter(control.tint, control.down ? 0.85 : (control.hovered ? 1.08 : 1.0))
               : Qt.rgba(control.tint.r, control.tint.g, control.tint.b, control.down ? 0.25 : (control.hovered ? 0.16 : 0.1))
        border.width: control.prominent ? 0 : 1
        border.color: Qt.rgba(control.tint.r, control.tint.g, control.tint.b, 0.55)
    }

    contentItem: RowLayout {
        spacing: 6
        BusyIndicator {
            visible: control.busy
            running: control.busy
            Layout.preferredWidth: 16
            Layout.preferredHeight: 16
            padding: 0 // (the style's padding would leave no room for the dots)
            palette.dark: control.labelColor
        }
        Symbol {
            visible: !control.busy && control.symbol.length > 0
            name: control.symbol
            size: control.symbolSize
            color: control.labelColor
        }
        Text {
            visible: text.length > 0
            text: control.busy && control.busyText.length > 0 ? control.busyText : control.text
            font.pixelSize: control.fontSize
            font.weight: control.fontWeight
            color: control.labelColor
        }
    }

    HelpToolTip {
        text: control.help
        visible: control.hovered && control.help.length > 0
    }
}
