import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Window
import Voxleaf

// The history sheet (700 × 480): every archived course, searchable; a click
// opens the course in the review sheet.
Item {
    id: view
    objectName: "historyCoursesView"
    implicitWidth: 700
    implicitHeight: 480
    signal dismiss()
    property var host: null
    readonly property alias model: historyModel
    // Called by the review sheet opened from here.
    function applyReviewingCourse(playback) { return historyModel.applyReviewingCourse(playback) }

    HistoryModel {
        id: historyModel
        highlightColor: Theme.primary
    }
    // The archive is read each time the sheet is shown.
    Component.onCompleted: historyModel.reload()

    Shortcut {
        sequences: ["Ctrl+Esc"]
        context: Qt.WindowShortcut
        enabled: !historyModel.hasReviewingCourse
        onActivated: view.dismiss()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 16
        spacing: 12

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Symbol {
                name: "clock.arrow.circlepath"
                size: 18
                color: Theme.primary
            }
            Text {
                text: "历史课程"
                font.pixelSize: Theme.FontHeadline
                font.bold: true
                color: Theme.textPrimary
            }
            Item { Layout.fillWidth: true }
            ThemedButton {
                objectName: "doneButton"
                text: "完成"
                help: "关闭（Ctrl+Esc）"
                onClicked: view.dismiss()
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Text {
                text: "⌕"
                font.family: "DejaVu Sans Mono"
                font.pixelSize: Theme.FontLarge
                color: Theme.textSecondary
            }
            TextField {
                id: searchField
                objectName: "searchField"
                Layout.fillWidth: true
                placeholderText: "搜索关键词（匹配原文或译文）"
                font.pixelSize: Theme.FontBody
                color: Theme.textPrimary
                placeholderTextColor: Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g,
                                              Theme.textSecondary.b, 0.7)
                selectionColor: Theme.primary
                selectByMouse: true
                leftPadding: 8
                text: historyModel.keyword
                onTextEdited: historyModel.keyword = text
                background: Rectangle {
                    implicitHeight: 30
                    radius: 7
                    color: Theme.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(1, 1, 1, 0.85)
                    border.width: 1
                    border.color: searchField.activeFocus ? Theme.primary : Theme.stroke
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ColumnLayout {
                objectName: "emptyState"
                visible: historyModel.rows.count === 0
                anchors.centerIn: parent
                width: parent.width - 40
                spacing: 10
                // A tray.
                Item {
                    Layout.alignment: Qt.AlignHCenter
                    implicitWidth: 40
                    implicitHeight: 30
                    Rectangle {
                        anchors.fill: parent
                        radius: 5
                        color: "transparent"
                        border.width: 2.5
                        border.color: Theme.tertiary
                    }
                    Rectangle {
                        x: 0
                        y: parent.height * 0.45
                        width: parent.width
                        height: 2.5
                        color: Theme.tertiary
                    }
                }
                Text {
                    objectName: "emptyText"
                    Layout.fillWidth: true
                    text: historyModel.emptyText
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                    font.pixelSize: Theme.FontBody
                    color: Theme.textSecondary
                }
            }

            ListView {
                id: list
                objectName: "courseList"
                visible: historyModel.rows.count > 0
                anchors.fill: parent
                clip: true
                spacing: 12
                topMargin: 14
                bottomMargin: 14
                model: historyModel.rows
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
                delegate: Card {
                    id: rowCard
                    objectName: "courseRow" + index
                    required property var model
                    required property int index
                    width: list.width - 28
                    x: 14
                    height: rowColumn.implicitHeight + 2 * padding
                    radius: 10
                    padding: 10
                    ColumnLayout {
                        id: rowColumn
                        width: parent.width
                        spacing: 3
                        Text {
                            objectName: "rowStart"
                            text: rowCard.model.startText
                            font.pixelSize: Theme.FontCallout
                            font.bold: true
                            color: Theme.textPrimary
                        }
                        Text {
                            objectName: "rowCaption"
                            text: rowCard.model.caption
                            font.pixelSize: Theme.FontCaption
                            color: Theme.textPrimary
                            opacity: 0.85
                        }
                        Text {
                            objectName: "rowPreview"
                            visible: rowCard.model.hasPreview && rowCard.model.matchCount === 0
                            Layout.fillWidth: true
                            text: rowCard.model.preview
                            elide: Text.ElideRight
                            maximumLineCount: 1
                            font.pixelSize: Theme.FontCaption
                            color: Theme.textSecondary
                        }
                        // While searching: the sentences the course was found by.
                        Repeater {
                            model: rowCard.model.matches
                            Text {
                                objectName: "rowMatch"
                                required property string modelData
                                Layout.fillWidth: true
                                text: modelData
                                textFormat: Text.StyledText
                                wrapMode: Text.Wrap
                                maximumLineCount: 2
                                elide: Text.ElideRight
                                font.pixelSize: Theme.FontCaption
                                color: Theme.textSecondary
                            }
                        }
                        Text {
                            objectName: "rowMoreMatches"
                            visible: text !== ""
                            text: rowCard.model.moreMatches
                            font.pixelSize: Theme.FontTiny
                            color: Theme.textSecondary
                            opacity: 0.85
                        }
                    }
                    MouseArea {
                        id: rowMouse
                        anchors.fill: parent
                        anchors.margins: -rowCard.padding
                        hoverEnabled: true
                        cursorShape: Qt.PointingHandCursor
                        onClicked: historyModel.openCourse(rowCard.index)
                    }
                    HelpToolTip {
                        text: "点击打开本节课回看（可重听录音 / 重新翻译 / 导出字幕 / 生成审阅）"
                        visible: rowMouse.containsMouse
                    }
                }
            }
        }
    }

    // The review sheet over this one.
    SheetHost {
        objectName: "historyReviewSheet"
        shown: historyModel.hasReviewingCourse
        source: "CourseReviewView.qml"
        sheetWidth: 1020
        sheetHeight: 640
        title: "本节课翻译记录回看"
        host: view
        parentWindow: view.Window.window
        onClosed: historyModel.closeReview()
    }
}
