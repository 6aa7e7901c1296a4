import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The course review sheet (1020 × 640): all translations of one course with
// the sentence being heard highlighted, the recording with seeking (rows and
// progress bar), the course's live key points, subtitle export and the
// message naming the file written, re-translation (written back to the
// course's file) and the DeepSeek review. The course is the host's
// `reviewingCourse` when it has one (the history sheet), otherwise the
// engine's completed course.
Item {
    id: view
    objectName: "courseReviewView"
    implicitWidth: 1020
    implicitHeight: 640
    signal dismiss()
    property var host: null
    readonly property alias playback: playbackModel
    readonly property var review: playbackModel.review

    CoursePlaybackModel {
        id: playbackModel
        glossary: App.glossary
    }

    function setup() {
        if (view.host && typeof view.host.applyReviewingCourse === "function")
            view.host.applyReviewingCourse(playbackModel)
        else if (view.host && view.host.reviewingCourse)
            playbackModel.course = view.host.reviewingCourse
        else
            playbackModel.loadCompletedCourse(App.engine)
        if (view.review)
            view.review.reloadApiKey()
    }
    onHostChanged: setup()
    Component.onCompleted: setup()
    // Closing the sheet stops the player and its timer.
    Component.onDestruction: playbackModel.stopPlayback()

    Shortcut {
        sequences: ["Ctrl+Esc"]
        context: Qt.WindowShortcut
        onActivated: view.dismiss()
    }

    readonly property color blue: "#0a84ff"
    readonly property color red: "#ff453a"
    readonly property color green: Theme.success

    component Caption: Text {
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        font.pixelSize: Theme.FontCaption
        color: Theme.textSecondary
    }
    component Headline: RowLayout {
        property string symbol: ""
        property string title: ""
        spacing: 6
        Symbol {
            visible: parent.symbol.length > 0
            name: parent.symbol
            size: 15
            color: Theme.primary
        }
        Text {
            text: parent.title
            font.pixelSize: Theme.FontCallout
            font.bold: true
            color: Theme.textPrimary
        }
    }
    component HDivider: Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.stroke
    }
    component StateLine: RowLayout {
        property string symbol: ""
        property color tint: view.green
        property string message: ""
        property bool bold: false
        property color textColor: Theme.textPrimary
        Layout.fillWidth: true
        spacing: 6
        Symbol {
            Layout.alignment: Qt.AlignTop
            name: parent.symbol
            size: 14
            color: parent.tint
        }
        Text {
            Layout.fillWidth: true
            text: parent.message
            wrapMode: Text.Wrap
            font.pixelSize: Theme.FontCaption
            font.bold: parent.bold
            color: parent.textColor
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Header.
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 14
            spacing: 10
            ColumnLayout {
                spacing: 2
                Text {
                    text: "本节课翻译记录回看"
                    font.pixelSize: Theme.FontTitle
                    font.bold: true
                    color: Theme.textPrimary
                }
                Text {
                    objectName: "headerCaption"
                    text: view.review ? view.review.headerCaption : ""
                    font.pixelSize: Theme.FontCaption
                    color: Theme.textSecondary
                }
            }
            Item { Layout.fillWidth: true }
            ThemedButton {
                objectName: "closeButton"
                text: "关闭"
                help: "关闭（Ctrl+Esc）"
                onClicked: view.dismiss()
            }
        }
        HDivider {}

        // Recording bar.
        RowLayout {
            objectName: "recordingBar"
            visible: view.review ? view.review.recordingExists : false
            Layout.fillWidth: true
            Layout.leftMargin: 14
            Layout.rightMargin: 14
            Layout.topMargin: 8
            Layout.bottomMargin: 8
            spacing: 10
            Symbol {
                objectName: "playbackSymbol"
                name: playbackModel.statusSymbol
                size: 13
                color: playbackModel.isPlayingRecording ? view.red : view.blue
            }
            ColumnLayout {
                spacing: 1
                Text {
                    text: "课堂录音（边录边存，可重听）"
                    font.pixelSize: Theme.FontFootnote
                    font.bold: true
                    color: Theme.textPrimary
                }
                Text {
                    objectName: "playbackCaption"
                    text: playbackModel.caption
                    font.pixelSize: Theme.FontCaption
                    font.family: playbackModel.playbackDuration > 0 ? "DejaVu Sans Mono" : ""
                    elide: Text.ElideMiddle
                    Layout.maximumWidth: 300
                    maximumLineCount: 1
                    color: Theme.textSecondary
                }
            }
            // The progress bar seeks: a press jumps there, a drag moves the
            // handle and seeks again where it is let go.
            Item {
                id: progressBar
                objectName: "playbackProgress"
                Layout.preferredWidth: 240
                Layout.maximumWidth: 240
                implicitHeight: 20
                // Where the handle is held while dragging, else -1.
                property real dragFraction: -1
                readonly property real shownFraction: dragFraction >= 0 ? dragFraction : playbackModel.progress
                function fractionAt(x) { return Math.max(0, Math.min(1, x / width)) }

                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: parent.width
                    height: 4
                    radius: 2
                    color: Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g, Theme.textSecondary.b, 0.25)
                    Rectangle {
                        width: parent.width * progressBar.shownFraction
                        height: parent.height
                        radius: 2
                        color: view.blue
                    }
                }
                Rectangle {
                    objectName: "playbackHandle"
                    anchors.verticalCenter: parent.verticalCenter
                    x: progressBar.width * progressBar.shownFraction - width / 2
                    width: 12
                    height: 12
                    radius: 6
                    color: view.blue
                    border.width: 2
                    border.color: Theme.isDark ? "#1c1c1e" : "white"
                    scale: progressMouse.pressed || progressMouse.containsMouse ? 1.2 : 1.0
                    Behavior on scale { NumberAnimation { duration: 100 } }
                }
                MouseArea {
                    id: progressMouse
                    anchors.fill: parent
                    hoverEnabled: true
                    preventStealing: true
                    cursorShape: Qt.PointingHandCursor
                    onPressed: (mouse) => {
                        progressBar.dragFraction = progressBar.fractionAt(mouse.x)
                        playbackModel.seekToFraction(progressBar.dragFraction)
                    }
                    onPositionChanged: (mouse) => {
                        if (pressed)
                            progressBar.dragFraction = progressBar.fractionAt(mouse.x)
                    }
                    onReleased: (mouse) => {
                        playbackModel.seekToFraction(progressBar.fractionAt(mouse.x))
                        progressBar.dragFraction = -1
                    }
                    onCanceled: progressBar.dragFraction = -1
                }
                HelpToolTip {
                    text: "点击或拖动，跳转到课堂录音中的任意位置"
                    visible: progressMouse.containsMouse && !progressMouse.pressed
                }
            }
            Item { Layout.fillWidth: true }
            ThemedButton {
                objectName: "playButton"
                text: playbackModel.playButtonText
                fontSize: Theme.FontFootnote
                onClicked: playbackModel.togglePlayback()
            }
            ThemedButton {
                id: exportButton
                objectName: "exportButton"
                text: "导出字幕"
                symbol: "captions.bubble"
                fontSize: Theme.FontFootnote
                help: "把本节课翻译记录导出为标准字幕文件，可直接挂到课程录屏上"
                onClicked: exportMenu.open()
                ThemedMenu {
                    id: exportMenu
                    y: exportButton.height + 2
                    ThemedMenuItem {
                        objectName: "exportSrt"
                        text: "导出 SRT 字幕（带时间轴）"
                        onTriggered: view.review.exportSubtitle("srt")
                    }
                    ThemedMenuItem {
                        objectName: "exportVtt"
                        text: "导出 VTT 字幕（网页字幕）"
                        onTriggered: view.review.exportSubtitle("vtt")
                    }
                }
            }
            ThemedButton {
                objectName: "revealRecordingButton"
                text: "在文件管理器中显示"
                fontSize: Theme.FontFootnote
                onClicked: playbackModel.revealRecording()
            }
        }
        HDivider { visible: view.review ? view.review.recordingExists : false }

        // The file just written (exported subtitles, the saved review
        // document), or why writing or opening it failed.
        Rectangle {
            id: exportNotice
            objectName: "exportMessage"
            readonly property bool failed: view.review ? view.review.exportFailed : false
            readonly property color tint: failed ? view.red : view.green
            visible: view.review ? view.review.exportMessage.length > 0 : false
            Layout.fillWidth: true
            Layout.leftMargin: 14
            Layout.rightMargin: 14
            Layout.topMargin: 8
            Layout.bottomMargin: 8
            implicitHeight: exportRow.implicitHeight + 12
            radius: 8
            color: Qt.rgba(tint.r, tint.g, tint.b, Theme.isDark ? 0.16 : 0.1)
            border.width: 1
            border.color: Qt.rgba(tint.r, tint.g, tint.b, 0.5)
            RowLayout {
                id: exportRow
                anchors.fill: parent
                anchors.leftMargin: 12
                anchors.rightMargin: 6
                anchors.topMargin: 6
                anchors.bottomMargin: 6
                spacing: 8
                Symbol {
                    name: exportNotice.failed ? "xmark.octagon.fill" : "checkmark.circle.fill"
                    size: 15
                    color: exportNotice.tint
                }
                Text {
                    objectName: "exportMessageText"
                    Layout.fillWidth: true
                    text: view.review ? view.review.exportMessage : ""
                    elide: Text.ElideMiddle
                    maximumLineCount: 1
                    font.pixelSize: Theme.FontFootnote
                    font.bold: !exportNotice.failed
                    color: exportNotice.failed ? view.red : Theme.textPrimary
                }
                ThemedButton {
                    objectName: "openExportedButton"
                    visible: view.review ? view.review.exportedPath.length > 0 : false
                    text: "打开"
                    fontSize: Theme.FontCaption
                    help: "用默认应用打开这个文件"
                    onClicked: view.review.openExported()
                }
                ThemedButton {
                    objectName: "revealExportedButton"
                    visible: view.review ? view.review.exportedPath.length > 0 : false
                    text: "在文件夹中显示"
                    symbol: "folder"
                    symbolSize: 13
                    fontSize: Theme.FontCaption
                    help: "在文件管理器中选中这个文件"
                    onClicked: view.review.revealExported()
                }
                IconButton {
                    objectName: "dismissExportButton"
                    symbol: "xmark.circle.fill"
                    tint: Theme.textSecondary
                    help: "关闭提示"
                    onClicked: view.review.dismissExportMessage()
                }
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 0

            // Entry list.
            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true

                ColumnLayout {
                    objectName: "noEntries"
                    visible: view.review ? !view.review.hasEntries : false
                    anchors.centerIn: parent
                    spacing: 8
                    Symbol {
                        Layout.alignment: Qt.AlignHCenter
                        name: "text.page"
                        size: 30
                        color: Theme.textSecondary
                    }
                    Text {
                        text: "本节课没有翻译记录"
                        font.pixelSize: Theme.FontBody
                        color: Theme.textSecondary
                    }
                }

                ListView {
                    id: entryList
                    objectName: "entryList"
                    visible: view.review ? view.review.hasEntries : false
                    anchors.fill: parent
                    clip: true
                    model: view.review ? view.review.entries : null
                    boundsBehavior: Flickable.StopAtBounds
                    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
                    // The sentence being heard is brought into view when it
                    // changes and when the list shrinks (a message appearing
                    // above it); otherwise the list stays free to scroll.
                    function showPlayingEntry() {
                        if (playbackModel.playingEntryIndex >= 0)
                            positionViewAtIndex(playbackModel.playingEntryIndex, ListView.Contain)
                    }
                    onHeightChanged: showPlayingEntry()
                    Connections {
                        target: playbackModel
                        function onPlayingEntryIndexChanged() { entryList.showPlayingEntry() }
                    }
                    delegate: Item {
                        id: entryItem
                        objectName: "entryRow" + index
                        required property var model
                        required property int index
                        // The sentence being heard in the recording.
                        readonly property bool isPlaying: index === playbackModel.playingEntryIndex
                        width: entryList.width
                        height: rowContent.implicitHeight + 21
                        Rectangle {
                            anchors.fill: parent
                            color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b,
                                           entryItem.isPlaying ? (Theme.isDark ? 0.18 : 0.12)
                                                               : rowMouse.containsMouse ? 0.07 : 0)
                        }
                        Rectangle {
                            objectName: "playingAccent"
                            visible: entryItem.isPlaying
                            width: 3
                            height: parent.height
                            color: Theme.primary
                        }
                        TranslationRow {
                            id: rowContent
                            x: 14
                            y: 10
                            width: parent.width - 28
                            compact: false
                            entry: entryItem.model
                        }
                        // The whole row seeks; it sits above the selectable texts.
                        MouseArea {
                            id: rowMouse
                            anchors.fill: parent
                            hoverEnabled: true
                            cursorShape: Qt.PointingHandCursor
                            onClicked: playbackModel.seekToEntry(entryItem.index)
                        }
                        HelpToolTip {
                            text: "点击跳转到课堂录音中的这句位置"
                            visible: rowMouse.containsMouse
                        }
                        Rectangle {
                            anchors.bottom: parent.bottom
                            x: 14
                            width: parent.width - 28
                            height: 1
                            color: Theme.stroke
                        }
                    }
                }
            }

            Rectangle {
                Layout.fillHeight: true
                implicitWidth: 1
                color: Theme.stroke
            }

            // Review panel.
            Flickable {
                id: panelFlick
                Layout.preferredWidth: 340
                Layout.fillHeight: true
                clip: true
                contentWidth: width
                contentHeight: panel.implicitHeight + 32
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

                ColumnLayout {
                    id: panel
                    objectName: "reviewPanel"
                    x: 16
                    y: 16
                    width: panelFlick.width - 32
                    spacing: 10

                    // The key points generated live during the course.
                    ColumnLayout {
                        objectName: "keyPointsSection"
                        visible: playbackModel.summaryPoints.length > 0
                        Layout.fillWidth: true
                        spacing: 8
                        RowLayout {
                            spacing: 6
                            Headline {
                                symbol: "list.bullet.rectangle"
                                title: "课堂实时要点"
                            }
                            Text {
                                objectName: "keyPointsCount"
                                text: playbackModel.summaryPoints.length + " 条"
                                font.pixelSize: Theme.FontCaption
                                color: Theme.textSecondary
                            }
                        }
                        Repeater {
                            model: playbackModel.summaryPoints
                            RowLayout {
                                Layout.fillWidth: true
                                spacing: 6
                                Symbol {
                                    Layout.alignment: Qt.AlignTop
                                    Layout.topMargin: 1
                                    name: "checkmark.circle.fill"
                                    size: 13
                                    color: Theme.primary
                                }
                                TextEdit {
                                    objectName: "keyPointText"
                                    Layout.fillWidth: true
                                    text: modelData
                                    readOnly: true
                                    selectByMouse: true
                                    wrapMode: TextEdit.Wrap
                                    font.pixelSize: Theme.FontFootnote
                                    color: Theme.textPrimary
                                    selectionColor: Theme.primary
                                }
                            }
                        }
                        HDivider { Layout.topMargin: 2 }
                    }

                    RowLayout {
                        spacing: 6
                        Text {
                            text: "✦"
                            font.family: "DejaVu Sans"
                            font.pixelSize: Theme.FontSubheadline
                            color: Theme.primary
                        }
                        Text {
                            text: "DeepSeek 审阅"
                            font.pixelSize: Theme.FontSubheadline
                            font.bold: true
                            color: Theme.textPrimary
                        }
                    }
                    Caption {
                        text: "审阅并改进本节课翻译，生成带总结、关键要点、主题图表、词汇表与旁批的格式化文档，自动保存到「桌面 / 课程记录」，文件名为课程开始时间。"
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 6
                        TextField {
                            id: keyField
                            objectName: "apiKeyField"
                            Layout.fillWidth: true
                            placeholderText: "DeepSeek API Key"
                            echoMode: TextInput.Password
                            font.pixelSize: Theme.FontFootnote
                            color: Theme.textPrimary
                            placeholderTextColor: Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g,
                                                          Theme.textSecondary.b, 0.7)
                            selectByMouse: true
                            leftPadding: 8
                            text: view.review ? view.review.apiKey : ""
                            onTextEdited: if (view.review) view.review.apiKey = text
                            background: Rectangle {
                                implicitHeight: 28
                                radius: 6
                                color: Theme.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(1, 1, 1, 0.85)
                                border.width: 1
                                border.color: keyField.activeFocus ? Theme.primary : Theme.stroke
                            }
                        }
                        ThemedButton {
                            objectName: "saveKeyButton"
                            text: "保存"
                            fontSize: Theme.FontCaption
                            leftPadding: 8
                            rightPadding: 8
                            enabled: keyField.text.trim().length > 0
                            onClicked: if (view.review) view.review.apiKey = keyField.text
                        }
                    }

                    HDivider {}
                    Headline {
                        symbol: "arrow.triangle.2.circlepath"
                        title: "课后重新翻译"
                    }
                    Caption {
                        objectName: "retranslateCaption"
                        text: "把本节课 " + (view.review ? view.review.entryCount : 0)
                              + " 条英文原文一次性批量交给 DeepSeek 重新翻译（带整课上下文与术语表），译文质量优于实时逐句翻译；重新翻译后可再次生成审阅文档。"
                    }
                    ThemedButton {
                        objectName: "retranslateButton"
                        Layout.fillWidth: true
                        text: "重新翻译本课（DeepSeek）"
                        symbol: "arrow.triangle.2.circlepath"
                        busy: view.review ? view.review.isRetranslating : false
                        busyText: "重新翻译中…"
                        enabled: view.review ? view.review.canRetranslate : false
                        onClicked: view.review.retranslate()
                    }
                    StateLine {
                        objectName: "retranslateState"
                        visible: view.review ? (view.review.retranslateState === CourseReviewModel.RetranslateState.Done
                                                || view.review.retranslateState === CourseReviewModel.RetranslateState.Failed) : false
                        symbol: view.review && view.review.retranslateState === CourseReviewModel.RetranslateState.Failed ? "xmark.octagon.fill" : "checkmark.circle.fill"
                        tint: view.review && view.review.retranslateState === CourseReviewModel.RetranslateState.Failed ? view.red : view.green
                        textColor: view.review && view.review.retranslateState === CourseReviewModel.RetranslateState.Failed ? view.red : Theme.textPrimary
                        message: view.review ? view.review.retranslateMessage : ""
                    }
                    StateLine {
                        objectName: "courseSaveFailed"
                        visible: playbackModel.saveError.length > 0
                        symbol: "xmark.octagon.fill"
                        tint: view.red
                        textColor: view.red
                        message: playbackModel.saveError
                    }

                    HDivider {}
                    ThemedButton {
                        objectName: "reviewButton"
                        Layout.fillWidth: true
                        prominent: true
                        text: "生成审阅文档"
                        symbol: "doc.badge.gearshape"
                        busy: view.review ? view.review.isReviewing : false
                        busyText: "DeepSeek 审阅中…"
                        enabled: view.review ? view.review.canReview : false
                        onClicked: view.review.startReview()
                    }
                    Caption {
                        objectName: "reviewWorking"
                        visible: view.review ? view.review.reviewState === CourseReviewModel.ReviewState.Working : false
                        text: view.review ? view.review.reviewMessage : ""
                    }
                    ColumnLayout {
                        objectName: "reviewDone"
                        visible: view.review ? view.review.reviewState === CourseReviewModel.ReviewState.Done : false
                        Layout.fillWidth: true
                        spacing: 4
                        StateLine {
                            symbol: "checkmark.circle.fill"
                            tint: view.green
                            bold: true
                            message: "审阅完成，文档已保存"
                        }
                        Caption {
                            text: view.review ? view.review.documentFileName : ""
                            font.pixelSize: Theme.FontTiny
                        }
                        RowLayout {
                            spacing: 6
                            ThemedButton {
                                objectName: "openDocumentButton"
                                text: "打开文档"
                                fontSize: Theme.FontCaption
                                onClicked: view.review.openDocument()
                            }
                            ThemedButton {
                                objectName: "revealDocumentButton"
                                text: "在文件管理器中显示"
                                fontSize: Theme.FontCaption
                                onClicked: view.review.revealDocument()
                            }
                        }
                    }
                    StateLine {
                        objectName: "reviewFailed"
                        visible: view.review ? view.review.reviewState === CourseReviewModel.ReviewState.Failed : false
                        symbol: "xmark.octagon.fill"
                        tint: view.red
                        textColor: view.red
                        message: view.review ? view.review.reviewMessage : ""
                    }

                    HDivider {}
                    Caption { text: "文档内容" }
                    Repeater {
                        model: ["课程总结与标题", "审阅改进译文与旁批", "关键知识要点", "主题分布图表", "重点词汇表", "完整课堂记录"]
                        RowLayout {
                            spacing: 6
                            Symbol {
                                name: "checkmark.circle.fill"
                                size: 12
                                color: view.green
                            }
                            Text {
                                text: modelData
                                font.pixelSize: Theme.FontFootnote
                                color: Theme.textPrimary
                            }
                        }
                    }
                    Item { Layout.fillHeight: true }
                }
            }
        }
    }
}
