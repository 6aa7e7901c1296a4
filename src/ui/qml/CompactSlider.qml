import QtQuick
import QtQuick.Controls.Basic
import Voxleaf

// A slider for a tight row: a 4 px track in the theme's colours and a
// 12 px handle that stays inside the row.
Slider {
    id: control
    property color tint: Theme.primary
    property color trackColor: Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g, Theme.textSecondary.b, 0.3)
    implicitHeight: 20
    padding: 6
    hoverEnabled: true

    background: Item {
        x: control.leftPadding
        y: control.topPadding + control.availableHeight / 2 - height / 2
        width: control.availableWidth
        height: 4
        Rectangle {
            anchors.fill: parent
            radius: 2
            color: control.trackColor
        }
        Rectangle {
            width: control.visualPosition * parent.width
            height: parent.height
            radius: 2
            color: control.tint
        }
    }
    handle: Rectangle {
        x: control.leftPadding + control.visualPosition * control.availableWidth - width / 2
        y: control.topPadding + control.availableHeight / 2 - height / 2
        width: control.pressed || control.hovered ? 14 : 12
        height: width
        radius: width / 2
        color: control.tint
        border.width: 2
        border.color: Qt.rgba(1, 1, 1, 0.9)
    }
}
