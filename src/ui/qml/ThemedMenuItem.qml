import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// A menu entry: leading symbol, text, and a checkmark when `current`.
MenuItem {
    id: item
    property string symbol: ""
    property bool current: false
    property bool destructive: false
    implicitHeight: 30
    leftPadding: 10
    rightPadding: 10
    readonly property color labelColor: destructive ? Theme.danger : Theme.textPrimary

    contentItem: RowLayout {
        spacing: 8
        Symbol {
            name: item.symbol
            visible: item.symbol.length > 0
            size: 14
            color: item.labelColor
        }
        Text {
            Layout.fillWidth: true
            text: item.text
            font.pixelSize: Theme.FontBody
            color: item.labelColor
        }
        Symbol {
            objectName: "checkmark"
            visible: item.current
            name: "checkmark"
            size: 13
            color: Theme.primary
        }
    }
    background: Rectangle {
        radius: 6
        color: item.highlighted ? Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.2)
                                : "transparent"
    }
}
