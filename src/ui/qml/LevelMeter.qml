import QtQuick
import QtQuick.Layouts
import Voxleaf

// Input level bar (130 × 5) with its caption underneath.
ColumnLayout {
    id: meter
    property real level: 0
    property bool isRecording: false
    property bool audioActive: false
    // The microphone went away; capture resumes when it is back.
    property bool interrupted: false
    readonly property bool warn: interrupted || (isRecording && !audioActive)
    readonly property color green: Theme.success
    readonly property color orange: Theme.warning
    spacing: 3

    Item {
        Layout.preferredWidth: 130
        Layout.preferredHeight: 5
        Rectangle {
            anchors.fill: parent
            radius: 2.5
            color: Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g, Theme.textSecondary.b, 0.15)
        }
        Rectangle {
            objectName: "levelFill"
            height: parent.height
            radius: 2.5
            width: Math.max(4, parent.width * Math.max(0, Math.min(1, meter.level)))
            color: !meter.isRecording ? Theme.textSecondary : (meter.audioActive ? meter.green : meter.orange)
        }
    }
    RowLayout {
        spacing: 4
        Symbol {
            visible: meter.warn
            name: "exclamationmark.triangle.fill"
            size: 12
            color: meter.orange
        }
        Text {
            objectName: "levelCaption"
            text: meter.interrupted ? "麦克风已断开，等待恢复" : !meter.isRecording ? "输入电平" : (meter.audioActive ? "采集正常" : "未采集到音频")
            font.pixelSize: Theme.FontCaption
            color: meter.warn ? meter.orange : Theme.textSecondary
        }
    }
}
