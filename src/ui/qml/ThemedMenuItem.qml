import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

// A menu entry: leading symbol, text, and a checkmark when `current`.
MenuItem {
    id: item
    property string symbol: ""
    property bool current: false
    property bool destructive: false
    implicitHeight: 30
    leftPadding: 10
    rightPadding: 10
    readonly property color labelColor: destructive ? app.theme.danger : app.theme.textPrimary

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
            font.pixelSize: 13
            color: item.labelColor
        }
        Symbol {
            objectName: "checkmark"
            visible: item.current
            name: "checkmark"
            size: 13
            color: app.theme.primary
        }
    }
    background: Rectangle {
        radius: 6
        color: item.highlighted ? Qt.rgba(app.theme.primary.r, app.theme.primary.g, app.theme.primary.b, 0.2)
                                : "transparent"
    }
}
