import QtQuick
import QtQuick.Layouts
import Voxleaf

// One translated sentence: time (58 wide, monospaced), then the English and
// the Chinese stacked. `entry` is a transcript row (timestamp, source, target).
RowLayout {
    id: row
    property var entry: ({})
    property bool compact: true
    spacing: 8

    Text {
        objectName: "rowTime"
        Layout.preferredWidth: 58
        Layout.alignment: Qt.AlignTop
        Layout.topMargin: 3
        text: row.entry.timestamp || ""
        font.family: "DejaVu Sans Mono"
        font.pixelSize: Theme.FontCaption
        color: Theme.textSecondary
    }
    ColumnLayout {
        Layout.fillWidth: true
        spacing: 2
        TextEdit {
            objectName: "rowSource"
            Layout.fillWidth: true
            text: row.entry.source || ""
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            font.pixelSize: row.compact ? Theme.FontSubheadline : Theme.FontHeadline
            color: Theme.textSecondary
            selectionColor: Theme.primary
        }
        TextEdit {
            objectName: "rowTarget"
            Layout.fillWidth: true
            text: row.entry.target || ""
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.Wrap
            font.pixelSize: row.compact ? Theme.FontTitle : Theme.FontLarge
            color: Theme.textPrimary
            selectionColor: Theme.primary
        }
    }
}
