import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The live key points. Beside the translations at wide sizes it is a panel
// of its own height; under them at small sizes it is a strip that shows the
// newest point on one line until it is opened.
ColumnLayout {
    id: panel
    objectName: "keyPointsSection"
    property var points: []
    property bool isSummarizing: false
    // A strip under the translations rather than a panel beside them.
    property bool strip: false
    // The strip shows every point (scrolling within `maximumListHeight`).
    property bool expanded: true
    property real maximumListHeight: 200
    signal toggleRequested()
    spacing: 8

    RowLayout {
        Layout.fillWidth: true
        spacing: 8
        SectionHeading { symbol: "list.bullet.rectangle"; title: "实时要点" }
        Text {
            objectName: "keyPointsCount"
            text: panel.points.length + " 条"
            font.pixelSize: Theme.FontCaption
            color: Theme.textSecondary
        }
        BusyIndicator {
            visible: panel.isSummarizing
            running: visible
            Layout.preferredWidth: 14
            Layout.preferredHeight: 14
        }
        // Closed strip: the newest point on the heading's line.
        Text {
            objectName: "newestKeyPoint"
            visible: panel.strip && !panel.expanded
            Layout.fillWidth: true
            text: panel.points.length > 0 ? panel.points[panel.points.length - 1] : ""
            font.pixelSize: Theme.FontCallout
            color: Theme.textPrimary
            elide: Text.ElideRight
            maximumLineCount: 1
        }
        Item { Layout.fillWidth: true; visible: !(panel.strip && !panel.expanded) }
        IconButton {
            objectName: "keyPointsToggle"
            visible: panel.strip
            symbol: panel.expanded ? "chevron.down" : "chevron.up"
            help: panel.expanded ? "收起要点（只显示最新一条）" : "展开全部要点"
            onClicked: panel.toggleRequested()
        }
    }

    Flickable {
        id: flick
        objectName: "keyPointsList"
        visible: !panel.strip || panel.expanded
        Layout.fillWidth: true
        Layout.fillHeight: !panel.strip
        Layout.preferredHeight: panel.strip ? Math.min(rows.implicitHeight, panel.maximumListHeight) : -1
        clip: true
        contentWidth: width
        contentHeight: rows.implicitHeight
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

        ColumnLayout {
            id: rows
            width: flick.width - 10
            spacing: 8
            Repeater {
                model: panel.points
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    Symbol {
                        Layout.alignment: Qt.AlignTop
                        Layout.topMargin: 2
                        name: "checkmark.circle.fill"
                        size: 15
                        color: Theme.primary
                    }
                    TextEdit {
                        objectName: "keyPointText"
                        Layout.fillWidth: true
                        text: modelData
                        readOnly: true
                        selectByMouse: true
                        wrapMode: TextEdit.Wrap
                        font.pixelSize: Theme.FontCallout
                        color: Theme.textPrimary
                        selectionColor: Theme.primary
                    }
                }
            }
        }
    }
}
