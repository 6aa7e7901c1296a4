import QtQuick
import QtQuick.Controls.Basic
import Voxleaf

// The themed help text (tooltip) of a control.
ToolTip {
    id: tip
    delay: 600
    timeout: 8000
    contentItem: Text {
        text: tip.text
        font.pixelSize: Theme.FontFootnote
        color: Theme.isDark ? "#f2f2f7" : "#1c1c1e"
        wrapMode: Text.Wrap
    }
    background: Rectangle {
        radius: 6
        color: Theme.isDark ? Qt.rgba(0.12, 0.12, 0.16, 0.96) : Qt.rgba(1, 1, 1, 0.97)
        border.width: 1
        border.color: Theme.stroke
    }
}
