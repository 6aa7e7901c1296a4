import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// A small switch with a leading symbol and label.
AbstractButton {
    id: control
    property string symbol: ""
    property string help: ""
    checkable: true
    hoverEnabled: true
    focusPolicy: Qt.NoFocus
    implicitWidth: row.implicitWidth
    implicitHeight: Math.max(24, row.implicitHeight)

    contentItem: Item {}
    background: Item {}

    RowLayout {
        id: row
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6
        Symbol {
            name: control.symbol
            size: 14
            color: Theme.textSecondary
        }
        Text {
            text: control.text
            font.pixelSize: Theme.FontFootnote
            color: Theme.textPrimary
        }
        Rectangle {
            Layout.preferredWidth: 30
            Layout.preferredHeight: 17
            radius: 8.5
            color: control.checked ? Theme.primary
                                   : Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g,
                                             Theme.textSecondary.b, 0.35)
            Rectangle {
                width: 13
                height: 13
                radius: 6.5
                y: 2
                x: control.checked ? parent.width - width - 2 : 2
                color: "white"
                Behavior on x { NumberAnimation { duration: 120 } }
            }
        }
    }

    HelpToolTip {
        text: control.help
        visible: control.hovered && control.help.length > 0
    }
}
