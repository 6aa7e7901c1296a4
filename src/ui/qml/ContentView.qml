import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts
import Voxleaf

// The main view: header, control bar, error line, course bar and the
// transcript area, over the theme background.
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
    readonly property bool isSubtitleVisible: App.settings.subtitleVisible

    readonly property int visibleCount: App.settings.clampedVisibleCount
    readonly property bool isRecording: engine ? engine.isRecording : false
    readonly property bool isCourseActive: engine ? engine.isCourseActive : false
    readonly property bool isEndingCourse: App.isEndingCourse
    readonly property bool isTranslationEnabled: engine ? engine.isTranslationEnabled : true
    readonly property bool translationUnavailable: engine ? engine.translationUnavailable : false
    readonly property string recognizedText: engine ? engine.recognizedText : ""
    readonly property bool compactControls: width < 780

    // The floating subtitle window (built and kept by App.floatingSubtitle).
    function showSubtitle() { App.showSubtitle() }
    function hideSubtitle() { App.hideSubtitle() }

    Component.onCompleted: App.mainViewShown()

    Shortcut {
        // Ctrl+Space (the Command key of other systems).
        sequences: ["Ctrl+Space"]
        context: Qt.WindowShortcut
        onActivated: App.toggleRecording()
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 14
        spacing: 14

        // 1. Header ------------------------------------------------------
        Card {
            objectName: "headerCard"
            Layout.fillWidth: true
            Layout.preferredHeight: 46 + 2 * padding
            RowLayout {
                anchors.fill: parent
                spacing: 10
                AppBadge { Layout.alignment: Qt.AlignVCenter }
                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.minimumWidth: 60
                    spacing: 2
                    Text {
                        objectName: "titleText"
                        Layout.fillWidth: true
                        text: "实时语音翻译"
                        font.pixelSize: Theme.fontTitle
                        font.bold: true
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "Voxleaf · 英语实时识别与翻译"
                        font.pixelSize: Theme.fontFootnote
                        color: Theme.textSecondary
                        elide: Text.ElideRight
                    }
                }
                RowLayout {
                    spacing: 2
                    IconButton {
                        objectName: "subtitleButton"
                        symbol: view.isSubtitleVisible ? "captions.bubble.fill" : "captions.bubble"
                        help: "弹出 / 收起悬浮字幕窗（仅显示最近两句）"
                        onClicked: view.isSubtitleVisible ? view.hideSubtitle() : view.showSubtitle()
                    }
                    IconButton {
                        objectName: "historyButton"
                        symbol: "clock.arrow.circlepath"
                        help: "历史课程：浏览与检索已归档的课堂记录"
                        onClicked: view.isShowingHistory = true
                    }
                    IconButton {
                        objectName: "settingsButton"
                        symbol: "gearshape"
                        help: "翻译设置：翻译引擎 / API Key / 术语表"
                        onClicked: view.isShowingTranslationSettings = true
                    }
                    IconButton {
                        id: themeButton
                        objectName: "themeButton"
                        symbol: "paintpalette.fill"
                        help: "切换界面主题：赛博朋克 / 极简瑞士 / OLED 暗黑 / 玻璃拟态"
                        onClicked: themeMenu.popup(themeButton, 0, themeButton.height + 4)
                    }
                    IconButton {
                        id: backgroundButton
                        objectName: "backgroundButton"
                        symbol: "photo.fill"
                        help: "更换应用背景"
                        onClicked: backgroundMenu.popup(backgroundButton, 0, backgroundButton.height + 4)
                    }
                }
                StatusBadge {
                    objectName: "statusBadge"
                    Layout.leftMargin: 6
                    isRecording: view.isRecording
                }
            }
        }

        // 2. Control bar --------------------------------------------------
        Card {
            objectName: "controlBar"
            Layout.fillWidth: true
            Layout.preferredHeight: controls.implicitHeight + 2 * padding
            GridLayout {
                id: controls
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                columns: view.compactControls ? 1 : 2
                columnSpacing: 10
                rowSpacing: 10

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    Symbol {
                        name: "mic.fill"
                        size: 13
                        color: Theme.textSecondary
                    }
                    Text {
                        text: "输入设备"
                        font.pixelSize: Theme.fontFootnote
                        color: Theme.textSecondary
                    }
                    DevicePicker {
                        objectName: "devicePicker"
                        Layout.maximumWidth: 260
                        Layout.fillWidth: false
                        devices: App.devices
                        selectedId: App.selectedDeviceID
                        onPicked: id => App.selectedDeviceID = id
                    }
                    IconButton {
                        objectName: "refreshButton"
                        symbol: "arrow.clockwise"
                        help: "刷新设备列表"
                        onClicked: App.refreshDevices()
                    }
                    Item { Layout.fillWidth: true }
                    RowLayout {
                        visible: view.translationUnavailable
                        spacing: 4
                        Symbol {
                            name: "exclamationmark.triangle"
                            size: 13
                            color: Theme.warning
                        }
                        Text {
                            objectName: "translationUnavailableLabel"
                            text: "翻译需本地翻译服务"
                            font.pixelSize: Theme.fontFootnote
                            color: Theme.warning
                        }
                    }
                    ThemedSwitch {
                        objectName: "translationSwitch"
                        visible: !view.translationUnavailable
                        text: "中文翻译"
                        symbol: "character.bubble"
                        help: "将识别出的英语实时翻译为中文"
                        checked: view.isTranslationEnabled
                        onToggled: {
                            App.setTranslationEnabled(checked)
                            checked = Qt.binding(function() { return view.isTranslationEnabled })
                        }
                    }
                }

                RowLayout {
                    Layout.fillWidth: view.compactControls
                    spacing: 12
                    LevelMeter {
                        objectName: "levelMeter"
                        level: view.engine ? view.engine.level : 0
                        isRecording: view.isRecording
                        audioActive: view.engine ? view.engine.audioActive : false
                        interrupted: view.engine ? view.engine.captureInterrupted === true : false
                    }
                    Item { Layout.fillWidth: view.compactControls; visible: view.compactControls }
                    Text {
                        id: sessionDuration
                        objectName: "sessionDuration"
                        visible: view.isRecording
                        text: App.sessionDurationText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: Theme.fontCallout
                        color: Theme.textSecondary
                        HoverHandler { id: durationHover }
                        HelpToolTip { text: "课堂已运行时长"; visible: durationHover.hovered }
                    }
                    ThemedButton {
                        objectName: "recordButton"
                        prominent: true
                        tint: view.isRecording ? Theme.danger : Theme.primary
                        symbol: view.isRecording ? "stop.circle.fill" : "record.circle.fill"
                        symbolSize: 18
                        text: view.isRecording ? "停止" : "开始"
                        fontSize: Theme.fontCallout
                        help: "开始 / 停止语音识别（Ctrl+空格）"
                        onClicked: App.toggleRecording()
                    }
                }
            }
        }

        // The engine's error line: stays until replaced or cleared.
        RowLayout {
            objectName: "errorLine"
            visible: App.lastError.length > 0
            Layout.fillWidth: true
            Layout.topMargin: -6
            Layout.bottomMargin: -6
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
                font.pixelSize: Theme.fontFootnote
                color: Theme.warning
                selectionColor: Theme.primary
            }
        }

        // A course left unfinished by the last run, recovered at this start.
        Card {
            objectName: "recoveryBanner"
            visible: App.hasRecoveredCourse
            Layout.fillWidth: true
            Layout.preferredHeight: recoveryRow.implicitHeight + 2 * padding
            padding: 10
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
                        font.pixelSize: Theme.fontBody
                        font.bold: true
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                    }
                    Text {
                        objectName: "recoveryCaption"
                        Layout.fillWidth: true
                        text: App.recoveredCaption
                        font.pixelSize: Theme.fontCaption
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

        // 3. Course bar -------------------------------------------------------
        Card {
            objectName: "courseBar"
            Layout.fillWidth: true
            Layout.preferredHeight: 30 + 2 * padding
            RowLayout {
                anchors.fill: parent
                spacing: 10
                Symbol {
                    name: "graduationcap.fill"
                    size: 16
                    color: Theme.primary
                }
                Text {
                    text: "课堂模式"
                    font.pixelSize: Theme.fontBody
                    font.bold: true
                    color: Theme.textPrimary
                }

                // Course running.
                RowLayout {
                    objectName: "courseRunning"
                    visible: view.isCourseActive
                    Layout.fillWidth: true
                    spacing: 10
                    Text {
                        objectName: "courseDuration"
                        text: App.courseDurationText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: Theme.fontBody
                        color: Theme.textPrimary
                        HoverHandler { id: courseDurationHover }
                        HelpToolTip { text: "本节课已进行时长"; visible: courseDurationHover.hovered }
                    }
                    Text {
                        objectName: "courseRecordedCaption"
                        Layout.fillWidth: true
                        text: "已记录 " + App.courseEntryCount + " 条"
                        font.pixelSize: Theme.fontFootnote
                        color: Theme.textSecondary
                        elide: Text.ElideRight
                    }
                    ThemedButton {
                        objectName: "summaryButton"
                        symbol: "list.bullet.rectangle"
                        text: "生成要点"
                        busy: view.engine ? view.engine.isSummarizing : false
                        tint: Theme.primary
                        help: "调用 DeepSeek 把本节课内容提炼为要点（每 10 分钟自动生成）"
                        onClicked: App.generateSummary()
                    }
                    ThemedButton {
                        objectName: "courseEndButton"
                        prominent: true
                        tint: Theme.danger
                        symbol: "stop.circle.fill"
                        text: "课程结束"
                        help: "结束本节课：归档全部翻译记录，可课后回看"
                        onClicked: App.endCourse()
                    }
                }

                // Course ended, its last sentences and its file on the way.
                RowLayout {
                    objectName: "courseSaving"
                    visible: view.isEndingCourse
                    Layout.fillWidth: true
                    spacing: 8
                    Symbol {
                        name: "arrow.triangle.2.circlepath"
                        size: 15
                        color: Theme.primary
                        RotationAnimation on rotation {
                            running: view.isEndingCourse
                            from: 0
                            to: 360
                            duration: 1400
                            loops: Animation.Infinite
                        }
                    }
                    Text {
                        objectName: "courseSavingCaption"
                        Layout.fillWidth: true
                        text: App.courseSavingText
                        font.pixelSize: Theme.fontFootnote
                        color: Theme.textPrimary
                        elide: Text.ElideRight
                    }
                }

                // Course ended, its record available.
                RowLayout {
                    objectName: "courseCompleted"
                    visible: !view.isCourseActive && !view.isEndingCourse && App.hasCompletedCourse
                    Layout.fillWidth: true
                    spacing: 10
                    Text {
                        objectName: "courseCompletedCaption"
                        Layout.fillWidth: true
                        text: "本节课已结束（" + App.completedCourseEntryCount + " 条翻译）"
                        font.pixelSize: Theme.fontFootnote
                        color: Theme.textSecondary
                        elide: Text.ElideRight
                    }
                    ThemedButton {
                        objectName: "reviewCourseButton"
                        symbol: "clock.arrow.circlepath"
                        text: "回看本节课"
                        tint: Theme.primary
                        help: "查看本节课完整翻译记录"
                        onClicked: {
                            view.reviewingCourse = null
                            view.isShowingCourseReview = true
                        }
                    }
                    ThemedButton {
                        objectName: "newCourseButton"
                        prominent: true
                        tint: Theme.secondary
                        symbol: "play.circle.fill"
                        text: "开始新课"
                        onClicked: App.startCourse()
                    }
                }

                // No course yet.
                RowLayout {
                    objectName: "courseIdle"
                    visible: !view.isCourseActive && !view.isEndingCourse && !App.hasCompletedCourse
                    Layout.fillWidth: true
                    spacing: 10
                    Item { Layout.fillWidth: true }
                    ThemedButton {
                        objectName: "courseStartButton"
                        prominent: true
                        tint: Theme.secondary
                        symbol: "play.circle.fill"
                        text: "课程开始"
                        help: "开始课堂记录：自动开始录音，界面显示最近 " + view.visibleCount + " 条翻译，其余保留待课后回看"
                        onClicked: App.startCourse()
                    }
                }
            }
        }

        // 4. Transcript area ---------------------------------------------------
        Card {
            objectName: "transcriptArea"
            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumHeight: 80
            padding: 0

            Flickable {
                id: flick
                objectName: "transcriptFlick"
                anchors.fill: parent
                anchors.margins: 2
                clip: true
                contentWidth: width
                contentHeight: transcript.implicitHeight + 32
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

                NumberAnimation {
                    id: scrollAnimation
                    target: flick
                    property: "contentY"
                    duration: 250
                    easing.type: Easing.InOutQuad
                }

                ColumnLayout {
                    id: transcript
                    x: 14
                    y: 16
                    width: flick.width - 28
                    spacing: 12

                    // English section.
                    SectionHeading {
                        symbol: "textformat"
                        title: "英语识别"
                    }
                    RowLayout {
                        id: waitingHint
                        objectName: "waitingHint"
                        visible: view.recognizedText.length === 0 && view.isRecording
                        spacing: 6
                        Symbol { name: "waveform"; size: 15; color: Theme.textSecondary }
                        Text {
                            text: "等待下一句英语…"
                            font.pixelSize: Theme.fontCallout
                            color: Theme.textSecondary
                        }
                    }
                    ColumnLayout {
                        id: emptyHint
                        objectName: "emptyHint"
                        visible: view.recognizedText.length === 0 && !view.isRecording
                        Layout.fillWidth: true
                        spacing: 8
                        Symbol {
                            Layout.alignment: Qt.AlignHCenter
                            name: "mic.slash"
                            size: 26
                            color: Theme.textSecondary
                        }
                        Text {
                            Layout.fillWidth: true
                            horizontalAlignment: Text.AlignHCenter
                            text: "点击「开始」并说出英语\n这里将实时显示识别出的英文原文"
                            font.pixelSize: Theme.fontBody
                            lineHeight: 1.2
                            color: Theme.textSecondary
                            wrapMode: Text.Wrap
                        }
                    }
                    Item {
                        id: englishBlock
                        visible: view.recognizedText.length > 0
                        Layout.fillWidth: true
                        implicitHeight: englishText.implicitHeight
                        TextEdit {
                            id: englishText
                            objectName: "recognizedText"
                            width: parent.width
                            readOnly: true
                            selectByMouse: true
                            wrapMode: TextEdit.Wrap
                            textFormat: TextEdit.RichText
                            font.pixelSize: Theme.fontExtraLarge
                            color: Theme.textPrimary
                            selectionColor: Theme.primary
                            readonly property string plain: view.recognizedText
                            // The "▍" cursor follows the last word inline and fades in and out.
                            readonly property color cursorColor: Theme.primary
                            text: "<div style=\"line-height:132%\">"
                                  + plain.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;")
                                          .replace(/\n/g, "<br/>")
                                  + (cursor.fade > 0
                                     ? "<span style=\"color:" + Qt.rgba(cursorColor.r, cursorColor.g, cursorColor.b,
                                                                    cursor.fade).toString() + "\">\u258D</span>"
                                     : "")
                                  + "</div>"
                        }
                        Item {
                            id: cursor
                            objectName: "cursor"
                            anchors.bottom: englishText.bottom
                            width: 1
                            height: 19
                            property real fade: view.isRecording ? 1 : 0
                            visible: fade > 0
                            Behavior on fade { NumberAnimation { duration: 250 } }
                        }
                    }

                    // Chinese section.
                    ColumnLayout {
                        id: chineseSection
                        objectName: "chineseSection"
                        visible: view.isTranslationEnabled
                        Layout.fillWidth: true
                        Layout.topMargin: 4
                        spacing: 12
                        Rectangle {
                            Layout.fillWidth: true
                            Layout.preferredHeight: 1
                            color: Theme.stroke
                        }
                        RowLayout {
                            spacing: 8
                            SectionHeading {
                                objectName: "translationHeading"
                                symbol: "character.bubble"
                                title: "中文翻译（最近 " + view.visibleCount + " 条）"
                            }
                            BusyIndicator {
                                objectName: "translatingIndicator"
                                visible: view.engine ? view.engine.isTranslating : false
                                running: visible
                                Layout.preferredWidth: 16
                                Layout.preferredHeight: 16
                            }
                        }
                        Text {
                            objectName: "translationUnavailableText"
                            visible: view.translationUnavailable
                            Layout.fillWidth: true
                            text: "翻译功能需要本地翻译服务（LibreTranslate）。"
                            font.pixelSize: Theme.fontBody
                            color: Theme.warning
                            wrapMode: Text.Wrap
                        }
                        RecentTranslationList {
                            id: translationList
                            objectName: "recentTranslationList"
                            visible: !view.translationUnavailable
                            Layout.fillWidth: true
                            entries: App.recentTranslations
                            visibleCount: view.visibleCount
                        }
                    }

                    // Key points.
                    ColumnLayout {
                        objectName: "keyPointsSection"
                        visible: App.summaryPoints.length > 0
                        Layout.fillWidth: true
                        Layout.topMargin: 4
                        spacing: 10
                        Rectangle {
                            Layout.fillWidth: true
                            Layout.preferredHeight: 1
                            color: Theme.stroke
                        }
                        RowLayout {
                            spacing: 8
                            SectionHeading { symbol: "list.bullet.rectangle"; title: "实时要点" }
                            Text {
                                objectName: "keyPointsCount"
                                text: App.summaryPoints.length + " 条"
                                font.pixelSize: Theme.fontCaption
                                color: Theme.textSecondary
                            }
                        }
                        Repeater {
                            model: App.summaryPoints
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
                                    font.pixelSize: Theme.fontCallout
                                    color: Theme.textPrimary
                                }
                            }
                        }
                    }
                }
            }
        }
    }

    // Scrolling: the text's end follows new English; new translations bring
    // the list's top into view.
    function scrollTo(item, alignBottom) {
        if (!item || !item.visible)
            return
        var y = item.mapToItem(flick.contentItem, 0, 0).y
        var target = alignBottom ? y + item.height - flick.height + 16 : y - 16
        target = Math.max(0, Math.min(target, flick.contentHeight - flick.height))
        scrollAnimation.stop()
        scrollAnimation.to = target
        scrollAnimation.start()
    }
    Connections {
        target: view.engine
        ignoreUnknownSignals: true
        function onRecognizedTextChanged() {
            Qt.callLater(function() {
                if (view.recognizedText.length === 0)
                    view.scrollTo(view.isRecording ? waitingHint : emptyHint, true)
                else
                    view.scrollTo(view.isRecording ? cursor : englishText, true)
            })
        }
        function onTranslatedTextChanged() {
            Qt.callLater(function() {
                var t = view.engine ? view.engine.translatedText : ""
                view.scrollTo(t.length > 0 ? translationList : englishText, false)
            })
        }
    }

    // Menus ---------------------------------------------------------------
    ThemedMenu {
        id: themeMenu
        objectName: "themeMenu"
        Instantiator {
            model: Theme.themes
            delegate: ThemedMenuItem {
                objectName: "themeItem_" + modelData.name
                text: modelData.displayName
                symbol: modelData.symbol
                current: Theme.name === modelData.name
                onTriggered: Theme.select(modelData.name)
            }
            onObjectAdded: (index, object) => themeMenu.insertItem(index, object)
            onObjectRemoved: (index, object) => themeMenu.removeItem(object)
        }
        MenuSeparator {}
        MenuItem {
            objectName: "themeCaption"
            enabled: false
            implicitHeight: 26
            text: Theme.displayName + " · 当前主题"
            contentItem: Text {
                leftPadding: 4
                text: parent.text
                font.pixelSize: Theme.fontFootnote
                color: Theme.textSecondary
            }
            background: Item {}
        }
    }

    ThemedMenu {
        id: backgroundMenu
        objectName: "backgroundMenu"
        ThemedMenuItem {
            objectName: "pickPhotoItem"
            text: "从相册选择"
            symbol: "photo.on.rectangle.angled"
            onTriggered: photoDialogLoader.active = true
        }
        ThemedMenuItem {
            objectName: "pickFileItem"
            text: "从文件选择"
            symbol: "folder"
            onTriggered: fileDialogLoader.active = true
        }
        MenuSeparator { visible: App.background.hasCustomBackground; height: visible ? implicitHeight : 0 }
        ThemedMenuItem {
            objectName: "clearBackgroundItem"
            visible: App.background.hasCustomBackground
            height: visible ? implicitHeight : 0
            text: "恢复默认背景"
            symbol: "arrow.counterclockwise"
            destructive: true
            onTriggered: App.background.clearBackground()
        }
    }

    // Pickers (built on first use). Linux has no photo library: the photo
    // picker is an image chooser opened in the Pictures folder.
    Loader {
        id: photoDialogLoader
        active: false
        sourceComponent: FileDialog {
            title: "从相册选择"
            currentFolder: "file://" + App.background.picturesFolder
            nameFilters: ["图片 (*.png *.jpg *.jpeg *.heic *.webp *.gif *.bmp *.tif *.tiff)"]
            modality: Qt.NonModal
            Component.onCompleted: open()
            onAccepted: { App.loadPhoto(selectedFile); photoDialogLoader.active = false }
            onRejected: photoDialogLoader.active = false
        }
    }
    Loader {
        id: fileDialogLoader
        active: false
        sourceComponent: FileDialog {
            title: "选择一张图片作为应用背景"
            nameFilters: ["图片 (*.png *.jpg *.jpeg *.heic *.webp *.gif *.bmp *.tif *.tiff)"]
            modality: Qt.NonModal
            Component.onCompleted: open()
            onAccepted: { App.chooseBackgroundFile(selectedFile); fileDialogLoader.active = false }
            onRejected: fileDialogLoader.active = false
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
