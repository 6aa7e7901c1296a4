import QtQuick
import QtQuick.Controls.Basic
import Voxleaf

// A drop-down menu in the theme's colours.
Menu {
    id: menu
    padding: 5
    background: Rectangle {
        implicitWidth: 200
        radius: 10
        color: Theme.isDark ? Qt.rgba(0.1, 0.1, 0.14, 0.97) : Qt.rgba(0.99, 0.99, 0.99, 0.98)
        border.width: 1
        border.color: Theme.stroke
    }
    delegate: ThemedMenuItem {}
}
