import QtQuick
import QtQuick.Layouts

// An 8 × 8 dot (red while recording) and "识别中" / "就绪".
RowLayout {
    id: badge
    property bool isRecording: false
    spacing: 5
    Rectangle {
        width: 8
        height: 8
        radius: 4
        color: badge.isRecording ? app.theme.danger : app.theme.textSecondary
    }
    Text {
        objectName: "statusBadgeText"
        text: badge.isRecording ? "识别中" : "就绪"
        font.pixelSize: 12
        color: app.theme.textSecondary
    }
}
