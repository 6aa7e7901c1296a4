import QtQuick
import QtQuick.Controls.Basic
import Voxleaf

// The input device picker: names shown, ids as values, at most 260 wide.
ComboBox {
    id: picker
    property AudioDeviceList devices
    property string selectedId: ""
    signal picked(string id)

    model: devices
    textRole: "name"
    valueRole: "id"
    // Found again whenever rows come or go.
    readonly property int selectedIndex: devices && devices.count > 0 ? devices.indexOf(selectedId) : -1
    currentIndex: selectedIndex
    displayText: selectedIndex >= 0 ? currentText : "无可用输入设备"
    onActivated: index => picked(valueAt(index))
    focusPolicy: Qt.NoFocus
    hoverEnabled: true

    implicitHeight: 28
    implicitWidth: Math.min(260, Math.max(120, labelMetrics.advanceWidth + 64))
    TextMetrics {
        id: labelMetrics
        font.pixelSize: Theme.FontBody
        text: picker.displayText
    }

    contentItem: Text {
        leftPadding: 10
        rightPadding: 24
        text: picker.displayText
        font.pixelSize: Theme.FontBody
        color: Theme.textPrimary
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    indicator: Text {
        x: picker.width - width - 9
        anchors.verticalCenter: parent.verticalCenter
        text: "⌄"
        font.pixelSize: Theme.FontBody
        color: Theme.textSecondary
    }
    background: Rectangle {
        radius: 7
        color: Qt.rgba(Theme.textPrimary.r, Theme.textPrimary.g, Theme.textPrimary.b,
                       picker.hovered ? 0.1 : 0.06)
        border.width: 1
        border.color: Theme.stroke
    }
    delegate: ItemDelegate {
        required property string name
        required property int index
        width: picker.width
        highlighted: picker.highlightedIndex === index
        contentItem: Text {
            text: name
            font.pixelSize: Theme.FontBody
            color: Theme.textPrimary
            elide: Text.ElideRight
        }
        background: Rectangle {
            color: highlighted ? Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.2)
                               : "transparent"
        }
    }
    popup.background: Rectangle {
        radius: 8
        color: Theme.isDark ? Qt.rgba(0.1, 0.1, 0.14, 0.97) : Qt.rgba(0.99, 0.99, 0.99, 0.98)
        border.width: 1
        border.color: Theme.stroke
    }
}
