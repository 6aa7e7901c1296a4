import QtQuick
import QtQuick.Layouts
import Voxleaf

// An 8 × 8 dot (red while recording) and "识别中" / "就绪".
RowLayout {
    id: badge
    property bool isRecording: false
    spacing: 5
    Rectangle {
        width: 8
        height: 8
        radius: 4
        color: badge.isRecording ? Theme.danger : Theme.textSecondary
    }
    Text {
        objectName: "statusBadgeText"
        text: badge.isRecording ? "识别中" : "就绪"
        font.pixelSize: Theme.FontFootnote
        color: Theme.textSecondary
    }
}
