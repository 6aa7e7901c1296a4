import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts

// The main view: header, control bar, error line, course bar and the
// transcript area, over the theme background.
Item {
    id: view
    objectName: "contentView"

    readonly property var engine: app.engine
    readonly property var theme: app.theme

    // Sheets, one at a time, each by its own flag.
    property bool isShowingCourseReview: false
    property bool isShowingTranslationSettings: false
    property bool isShowingHistory: false
    // The course the review sheet shows (a CourseSession); none: the course
    // that just ended.
    property var reviewingCourse: null
    readonly property bool isSubtitleVisible: app.settings.subtitleVisible

    readonly property int visibleCount: app.settings.clampedVisibleCount
    readonly property bool isRecording: engine ? engine.isRecording : false
    readonly property bool isCourseActive: engine ? engine.isCourseActive : false
    readonly property bool isEndingCourse: app.isEndingCourse
    readonly property bool isTranslationEnabled: engine ? engine.isTranslationEnabled : true
    readonly property bool translationUnavailable: engine ? engine.translationUnavailable : false
    readonly property string recognizedText: engine ? engine.recognizedText : ""
    readonly property bool compactControls: width < 780

    // The floating subtitle window (built and kept by app.floatingSubtitle).
    function showSubtitle() { app.showSubtitle() }
    function hideSubtitle() { app.hideSubtitle() }

    Component.onCompleted: app.mainViewShown()

    Shortcut {
        // Ctrl+Space (the Command key of other systems).
        sequences: ["Ctrl+Space"]
        context: Qt.WindowShortcut
        onActivated: app.toggleRecording()
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
                        font.pixelSize: 17
                        font.bold: true
                        color: view.theme.textPrimary
                        elide: Text.ElideRight
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "Voxleaf · 英语实时识别与翻译"
                        font.pixelSize: 12
                        color: view.theme.textSecondary
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
                Text {
                    objectName: "recognizerName"
                    text: app.engine ? app.engine.recognizerName : ""
                    font.pixelSize: 11
                    color: app.theme.textSecondary
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
                        color: view.theme.textSecondary
                    }
                    Text {
                        text: "输入设备"
                        font.pixelSize: 12
                        color: view.theme.textSecondary
                    }
                    DevicePicker {
                        objectName: "devicePicker"
                        Layout.maximumWidth: 260
                        Layout.fillWidth: false
                        devices: app.devices
                        selectedId: app.selectedDeviceID
                        onPicked: id => app.selectedDeviceID = id
                    }
                    IconButton {
                        objectName: "refreshButton"
                        symbol: "arrow.clockwise"
                        help: "刷新设备列表"
                        onClicked: app.refreshDevices()
                    }
                    Item { Layout.fillWidth: true }
                    RowLayout {
                        visible: view.translationUnavailable
                        spacing: 4
                        Symbol {
                            name: "exclamationmark.triangle"
                            size: 13
                            color: view.theme.warning
                        }
                        Text {
                            objectName: "translationUnavailableLabel"
                            text: "翻译需本地翻译服务"
                            font.pixelSize: 12
                            color: view.theme.warning
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
                            app.setTranslationEnabled(checked)
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
                        text: app.sessionDurationText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 14
                        color: view.theme.textSecondary
                        HoverHandler { id: durationHover }
                        HelpToolTip { text: "课堂已运行时长"; visible: durationHover.hovered }
                    }
                    ThemedButton {
                        objectName: "recordButton"
                        prominent: true
                        tint: view.isRecording ? view.theme.danger : view.theme.primary
                        symbol: view.isRecording ? "stop.circle.fill" : "record.circle.fill"
                        symbolSize: 18
                        text: view.isRecording ? "停止" : "开始"
                        fontSize: 14
                        help: "开始 / 停止语音识别（Ctrl+空格）"
                        onClicked: app.toggleRecording()
                    }
                }
            }
        }

        // The engine's error line: stays until replaced or cleared.
        RowLayout {
            objectName: "errorLine"
            visible: app.lastError.length > 0
            Layout.fillWidth: true
            Layout.topMargin: -6
            Layout.bottomMargin: -6
            spacing: 6
            Symbol {
                Layout.alignment: Qt.AlignTop
                Layout.topMargin: 2
                name: "exclamationmark.triangle.fill"
                size: 13
                color: view.theme.warning
            }
            TextEdit {
                objectName: "lastErrorText"
                Layout.fillWidth: true
                text: app.lastError
                readOnly: true
                selectByMouse: true
                wrapMode: TextEdit.Wrap
                font.pixelSize: 12
                color: view.theme.warning
                selectionColor: view.theme.primary
            }
        }

        // A course left unfinished by the last run, recovered at this start.
        Card {
            objectName: "recoveryBanner"
            visible: app.hasRecoveredCourse
            Layout.fillWidth: true
            Layout.preferredHeight: recoveryRow.implicitHeight + 2 * padding
            padding: 10
            strokeColor: view.theme.warning
            RowLayout {
                id: recoveryRow
                anchors.fill: parent
                spacing: 10
                Symbol {
                    name: "arrow.counterclockwise"
                    size: 16
                    color: view.theme.warning
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 2
                    Text {
                        objectName: "recoveryTitle"
                        Layout.fillWidth: true
                        text: "已恢复上次未正常结束的课程"
                        font.pixelSize: 13
                        font.bold: true
                        color: view.theme.textPrimary
                        elide: Text.ElideRight
                    }
                    Text {
                        objectName: "recoveryCaption"
                        Layout.fillWidth: true
                        text: app.recoveredCaption
                        font.pixelSize: 11
                        color: view.theme.textSecondary
                        elide: Text.ElideRight
                    }
                }
                ThemedButton {
                    objectName: "recoveryOpenButton"
                    text: "查看"
                    symbol: "clock.arrow.circlepath"
                    tint: view.theme.primary
                    help: "打开这节课的翻译记录回看"
                    onClicked: {
                        view.reviewingCourse = app.recoveredCourse
                        view.isShowingCourseReview = true
                    }
                }
                IconButton {
                    objectName: "recoveryDismissButton"
                    symbol: "xmark.circle.fill"
                    help: "知道了（课程已在「历史课程」中）"
                    onClicked: app.dismissRecoveredCourse()
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
                    color: view.theme.primary
                }
                Text {
                    text: "课堂模式"
                    font.pixelSize: 13
                    font.bold: true
                    color: view.theme.textPrimary
                }

                // Course running.
                RowLayout {
                    objectName: "courseRunning"
                    visible: view.isCourseActive
                    Layout.fillWidth: true
                    spacing: 10
                    Text {
                        objectName: "courseDuration"
                        text: app.courseDurationText
                        font.family: "DejaVu Sans Mono"
                        font.pixelSize: 13
                        color: view.theme.textPrimary
                        HoverHandler { id: courseDurationHover }
                        HelpToolTip { text: "本节课已进行时长"; visible: courseDurationHover.hovered }
                    }
                    Text {
                        objectName: "courseRecordedCaption"
                        Layout.fillWidth: true
                        text: "已记录 " + app.courseEntryCount + " 条"
                        font.pixelSize: 12
                        color: view.theme.textSecondary
                        elide: Text.ElideRight
                    }
                    ThemedButton {
                        objectName: "summaryButton"
                        symbol: "list.bullet.rectangle"
                        text: "生成要点"
                        busy: view.engine ? view.engine.isSummarizing : false
                        tint: view.theme.primary
                        help: "调用 DeepSeek 把本节课内容提炼为要点（每 10 分钟自动生成）"
                        onClicked: app.generateSummary()
                    }
                    ThemedButton {
                        objectName: "courseEndButton"
                        prominent: true
                        tint: view.theme.danger
                        symbol: "stop.circle.fill"
                        text: "课程结束"
                        help: "结束本节课：归档全部翻译记录，可课后回看"
                        onClicked: app.endCourse()
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
                        color: view.theme.primary
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
                        text: app.courseSavingText
                        font.pixelSize: 12
                        color: view.theme.textPrimary
                        elide: Text.ElideRight
                    }
                }

                // Course ended, its record available.
                RowLayout {
                    objectName: "courseCompleted"
                    visible: !view.isCourseActive && !view.isEndingCourse && app.hasCompletedCourse
                    Layout.fillWidth: true
                    spacing: 10
                    Text {
                        objectName: "courseCompletedCaption"
                        Layout.fillWidth: true
                        text: "本节课已结束（" + app.completedCourseEntryCount + " 条翻译）"
                        font.pixelSize: 12
                        color: view.theme.textSecondary
                        elide: Text.ElideRight
                    }
                    ThemedButton {
                        objectName: "reviewCourseButton"
                        symbol: "clock.arrow.circlepath"
                        text: "回看本节课"
                        tint: view.theme.primary
                        help: "查看本节课完整翻译记录"
                        onClicked: {
                            view.reviewingCourse = null
                            view.isShowingCourseReview = true
                        }
                    }
                    ThemedButton {
                        objectName: "newCourseButton"
                        prominent: true
                        tint: view.theme.secondary
                        symbol: "play.circle.fill"
                        text: "开始新课"
                        onClicked: app.startCourse()
                    }
                }

                // No course yet.
                RowLayout {
                    objectName: "courseIdle"
                    visible: !view.isCourseActive && !view.isEndingCourse && !app.hasCompletedCourse
                    Layout.fillWidth: true
                    spacing: 10
                    Item { Layout.fillWidth: true }
                    ThemedButton {
                        objectName: "courseStartButton"
                        prominent: true
                        tint: view.theme.secondary
                        symbol: "play.circle.fill"
                        text: "课程开始"
                        help: "开始课堂记录：自动开始录音，界面显示最近 " + view.visibleCount + " 条翻译，其余保留待课后回看"
                        onClicked: app.startCourse()
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
                        Symbol { name: "waveform"; size: 15; color: view.theme.textSecondary }
                        Text {
                            text: "等待下一句英语…"
                            font.pixelSize: 14
                            color: view.theme.textSecondary
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
                            color: view.theme.textSecondary
                        }
                        Text {
                            Layout.fillWidth: true
                            horizontalAlignment: Text.AlignHCenter
                            text: "点击「开始」并说出英语\n这里将实时显示识别出的英文原文"
                            font.pixelSize: 13
                            lineHeight: 1.2
                            color: view.theme.textSecondary
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
                            font.pixelSize: 19
                            color: view.theme.textPrimary
                            selectionColor: view.theme.primary
                            readonly property string plain: view.recognizedText
                            // The "▍" cursor follows the last word inline and fades in and out.
                            readonly property color cursorColor: view.theme.primary
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
                            color: view.theme.stroke
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
                            font.pixelSize: 13
                            color: view.theme.warning
                            wrapMode: Text.Wrap
                        }
                        RecentTranslationList {
                            id: translationList
                            objectName: "recentTranslationList"
                            visible: !view.translationUnavailable
                            Layout.fillWidth: true
                            entries: app.recentTranslations
                            visibleCount: view.visibleCount
                        }
                    }

                    // Key points.
                    ColumnLayout {
                        objectName: "keyPointsSection"
                        visible: app.summaryPoints.length > 0
                        Layout.fillWidth: true
                        Layout.topMargin: 4
                        spacing: 10
                        Rectangle {
                            Layout.fillWidth: true
                            Layout.preferredHeight: 1
                            color: view.theme.stroke
                        }
                        RowLayout {
                            spacing: 8
                            SectionHeading { symbol: "list.bullet.rectangle"; title: "实时要点" }
                            Text {
                                objectName: "keyPointsCount"
                                text: app.summaryPoints.length + " 条"
                                font.pixelSize: 11
                                color: view.theme.textSecondary
                            }
                        }
                        Repeater {
                            model: app.summaryPoints
                            RowLayout {
                                Layout.fillWidth: true
                                spacing: 8
                                Symbol {
                                    Layout.alignment: Qt.AlignTop
                                    Layout.topMargin: 2
                                    name: "checkmark.circle.fill"
                                    size: 15
                                    color: view.theme.primary
                                }
                                TextEdit {
                                    objectName: "keyPointText"
                                    Layout.fillWidth: true
                                    text: modelData
                                    readOnly: true
                                    selectByMouse: true
                                    wrapMode: TextEdit.Wrap
                                    font.pixelSize: 14
                                    color: view.theme.textPrimary
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
            model: app.theme.themes
            delegate: ThemedMenuItem {
                objectName: "themeItem_" + modelData.name
                text: modelData.displayName
                symbol: modelData.symbol
                current: app.theme.name === modelData.name
                onTriggered: app.theme.select(modelData.name)
            }
            onObjectAdded: (index, object) => themeMenu.insertItem(index, object)
            onObjectRemoved: (index, object) => themeMenu.removeItem(object)
        }
        MenuSeparator {}
        MenuItem {
            objectName: "themeCaption"
            enabled: false
            implicitHeight: 26
            text: app.theme.displayName + " · 当前主题"
            contentItem: Text {
                leftPadding: 4
                text: parent.text
                font.pixelSize: 12
                color: view.theme.textSecondary
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
        MenuSeparator { visible: app.background.hasCustomBackground; height: visible ? implicitHeight : 0 }
        ThemedMenuItem {
            objectName: "clearBackgroundItem"
            visible: app.background.hasCustomBackground
            height: visible ? implicitHeight : 0
            text: "恢复默认背景"
            symbol: "arrow.counterclockwise"
            destructive: true
            onTriggered: app.background.clearBackground()
        }
    }

    // Pickers (built on first use). Linux has no photo library: the photo
    // picker is an image chooser opened in the Pictures folder.
    Loader {
        id: photoDialogLoader
        active: false
        sourceComponent: FileDialog {
            title: "从相册选择"
            currentFolder: "file://" + app.background.picturesFolder
            nameFilters: ["图片 (*.png *.jpg *.jpeg *.heic *.webp *.gif *.bmp *.tif *.tiff)"]
            modality: Qt.NonModal
            Component.onCompleted: open()
            onAccepted: { app.loadPhoto(selectedFile); photoDialogLoader.active = false }
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
            onAccepted: { app.chooseBackgroundFile(selectedFile); fileDialogLoader.active = false }
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
