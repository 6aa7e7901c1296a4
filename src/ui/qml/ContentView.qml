import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The main view: header, control bar, error line, recovered-course notice,
// course bar and the transcript (each card in its own file), over the theme
// background, and the sheets it opens.
Item {
    id: view
    objectName: "contentView"

    readonly property var engine: App.engine

    // Sheets, one at a time, each by its own flag.
    property bool isShowingCourseReview: false
    property bool isShowingTranslationSettings: false
    property bool isShowingHistory: false
    // The course the review sheet shows (a CourseSession); none: the course
    // that just ended.
    property var reviewingCourse: null

    readonly property int visibleCount: App.settings.clampedVisibleCount
    readonly property bool isRecording: engine ? engine.isRecording : false
    readonly property bool isCourseActive: engine ? engine.isCourseActive : false
    readonly property bool isEndingCourse: App.isEndingCourse
    readonly property bool isTranslationEnabled: engine ? engine.isTranslationEnabled : true
    readonly property bool translationUnavailable: engine ? engine.translationUnavailable : false
    readonly property string recognizedText: engine ? engine.recognizedText : ""
    readonly property bool compactControls: width < 780
    // A low window: everything above the transcript draws tighter, so the
    // newest translation keeps its room.
    readonly property bool lowWindow: height < 560

    Component.onCompleted: App.mainViewShown()

    Shortcut {
        // Ctrl+Space unless the user chose another key in the settings
        // (Chinese input methods take Ctrl+Space for themselves).
        sequences: [App.settings.recordShortcut]
        context: Qt.WindowShortcut
        onActivated: App.toggleRecording()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 14
        spacing: view.lowWindow ? 8 : 14

        HeaderCard {
            Layout.fillWidth: true
            compact: view.lowWindow
            isRecording: view.isRecording
            onHistoryRequested: view.isShowingHistory = true
            onSettingsRequested: view.isShowingTranslationSettings = true
        }

        ControlBar {
            Layout.fillWidth: true
            compact: view.compactControls
            dense: view.lowWindow
            isRecording: view.isRecording
            isTranslationEnabled: view.isTranslationEnabled
            translationUnavailable: view.translationUnavailable
        }

        CourseBar {
            Layout.fillWidth: true
            isCourseActive: view.isCourseActive
            isEndingCourse: view.isEndingCourse
            dense: view.lowWindow
            visibleCount: view.visibleCount
            onReviewRequested: {
                view.reviewingCourse = null
                view.isShowingCourseReview = true
            }
        }

        TranscriptCard {
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 80
            isRecording: view.isRecording
            isTranslationEnabled: view.isTranslationEnabled
            translationUnavailable: view.translationUnavailable
            recognizedText: view.recognizedText
            visibleCount: view.visibleCount
            windowSize: Qt.size(view.width, view.height)
            onSettingsRequested: view.isShowingTranslationSettings = true
        }
    }



    // Banners float over the bottom of the window on a backdrop of their
    // own, so they neither push the layout down nor vanish into a picture.
    readonly property color bannerBackdrop: Theme.isDark ? Qt.rgba(0.06, 0.06, 0.08, 0.94) : Qt.rgba(1, 1, 1, 0.96)
    ColumnLayout {
        objectName: "bannerOverlay"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 24
        spacing: 8
        z: 5

        // The engine's warning: it goes by itself when its cause ends.
        Rectangle {
            objectName: "errorLine"
            visible: App.lastError.length > 0
            Layout.fillWidth: true
            implicitHeight: errorRow.implicitHeight + 16
            radius: 10
            color: view.bannerBackdrop
            border.width: 1
            border.color: Theme.warning
            RowLayout {
                id: errorRow
                anchors.fill: parent
                anchors.margins: 8
                spacing: 6
            Symbol {
                Layout.alignment: Qt.AlignTop
                Layout.topMargin: 2
                name: "exclamationmark.triangle.fill"
                size: 13
                color: Theme.warning
            }
            TextEdit {
                objectName: "lastErrorText"
                Layout.fillWidth: true
                text: App.lastError
                readOnly: true
                selectByMouse: true
                wrapMode: TextEdit.Wrap
                font.pixelSize: Theme.FontFootnote
                color: Theme.warning
                selectionColor: Theme.primary
            }
            }
        }

        // A course left unfinished by the last run, recovered at this start.
        Card {
            objectName: "recoveryBanner"
            visible: App.hasRecoveredCourse
            Layout.fillWidth: true
            Layout.preferredHeight: recoveryRow.implicitHeight + 2 * padding
            padding: 10
            fillColor: view.bannerBackdrop
            strokeColor: Theme.warning
            RowLayout {
                id: recoveryRow
                anchors.fill: parent
                spacing: 10
                Symbol {
                    name: "arrow.counterclockwise"
                    size: 16
                    color: Theme.warning
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Text {
                        objectName: "recoveryTitle"
                        Layout.fillWidth: true
                        text: "已恢复上次未正常结束的课程"
                        font.pixelSize: Theme.FontBody
                        font.bold: true
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                    }
                    Text {
                        objectName: "recoveryCaption"
                        Layout.fillWidth: true
                        text: App.recoveredCaption
                        font.pixelSize: Theme.FontCaption
                        color: Theme.textSecondary
                        elide: Text.ElideRight
                    }
                }
                ThemedButton {
                    objectName: "recoveryOpenButton"
                    text: "查看"
                    symbol: "clock.arrow.circlepath"
                    tint: Theme.primary
                    help: "打开这节课的翻译记录回看"
                    onClicked: {
                        view.reviewingCourse = App.recoveredCourse
                        view.isShowingCourseReview = true
                    }
                }
                IconButton {
                    objectName: "recoveryDismissButton"
                    symbol: "xmark.circle.fill"
                    help: "知道了（课程已在「历史课程」中）"
                    onClicked: App.dismissRecoveredCourse()
                }
            }
        }

    }

    // Sheets (their views live in their own files).
    SheetHost {
        objectName: "courseReviewSheet"
        shown: view.isShowingCourseReview
        source: "CourseReviewView.qml"
        sheetWidth: 1020
        sheetHeight: 640
        title: "本节课翻译记录回看"
        host: view
        parentWindow: view.Window.window
        onClosed: view.isShowingCourseReview = false
    }
    SheetHost {
        objectName: "translationSettingsSheet"
        shown: view.isShowingTranslationSettings
        source: "TranslationSettingsView.qml"
        sheetWidth: 500
        sheetHeight: 560
        title: "翻译设置"
        host: view
        parentWindow: view.Window.window
        onClosed: view.isShowingTranslationSettings = false
    }
    SheetHost {
        objectName: "historySheet"
        shown: view.isShowingHistory
        source: "HistoryCoursesView.qml"
        sheetWidth: 700
        sheetHeight: 480
        title: "历史课程"
        host: view
        parentWindow: view.Window.window
        onClosed: view.isShowingHistory = false
    }
}
