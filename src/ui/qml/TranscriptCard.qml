import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The transcript: the English being recognized (with its cursor) in a band
// of fixed height that keeps its last words in view, the newest
// translations below it, and the key points beside them at wide sizes or in
// a strip under them at small ones. Nothing above the translations changes
// height while a lecture runs, so a landing sentence never moves the rows
// being read.
Card {
    id: card
    objectName: "transcriptArea"
    property bool isRecording: false
    property bool isTranslationEnabled: true
    property bool translationUnavailable: false
    property string recognizedText: ""
    property int visibleCount: 0
    readonly property var engine: App.engine
    // The window's size: what shows and how much of it follows from it (not
    // from the card's own size, which the layout is still settling).
    property size windowSize: Qt.size(760, 640)
    // The translation service's state line was clicked.
    signal settingsRequested()

    readonly property bool hasKeyPoints: App.summaryPoints.length > 0
    // Key points beside the translations once there is room for both.
    readonly property bool keyPointsBeside: hasKeyPoints && windowSize.width >= 900
    // The strip is open until the user closes it, and starts closed when
    // the window is too low to show points and translations together.
    property bool stripChosen: false
    property bool stripOpen: true
    readonly property bool stripExpanded: stripChosen ? stripOpen : windowSize.height >= 600
    // Lines of English kept in view: fewer in a low window, where the
    // section headings give way to the sentences too.
    readonly property bool low: windowSize.height < 500
    readonly property int englishLines: windowSize.height >= 760 ? 3 : low ? 1 : 2

    padding: low ? 10 : 14

    FontMetrics {
        id: englishMetrics
        font.pixelSize: Theme.FontExtraLarge
    }

    GridLayout {
        id: grid
        anchors.fill: parent
        columns: 3
        rowSpacing: 10
        columnSpacing: 18

        ColumnLayout {
            id: transcript
            Layout.row: 0
            Layout.column: 0
            Layout.fillWidth: true
            Layout.fillHeight: true
            spacing: 8

            // English section.
            SectionHeading {
                visible: !card.low
                symbol: "textformat"
                title: "英语识别"
            }
            Item {
                id: englishArea
                objectName: "englishArea"
                Layout.fillWidth: true
                // (The idle hint may take more: nothing is being read then.)
                Layout.preferredHeight: Math.max(Math.ceil(englishMetrics.height * 1.32 * card.englishLines) + 4,
                                                 emptyHint.visible ? emptyHint.implicitHeight : 0)

                RowLayout {
                    id: waitingHint
                    objectName: "waitingHint"
                    visible: card.recognizedText.length === 0 && card.isRecording
                    anchors.top: parent.top
                    spacing: 6
                    Symbol { name: "waveform"; size: 15; color: Theme.textSecondary }
                    Text {
                        text: "等待下一句英语…"
                        font.pixelSize: Theme.FontCallout
                        color: Theme.textSecondary
                    }
                }
                RowLayout {
                    id: emptyHint
                    objectName: "emptyHint"
                    visible: card.recognizedText.length === 0 && !card.isRecording
                    anchors.centerIn: parent
                    width: Math.min(implicitWidth, parent.width)
                    spacing: 10
                    Symbol {
                        name: "mic.slash"
                        size: 24
                        color: Theme.textSecondary
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "点击「开始」并说出英语\n这里将实时显示识别出的英文原文"
                        font.pixelSize: Theme.FontBody
                        lineHeight: 1.2
                        color: Theme.textSecondary
                        wrapMode: Text.Wrap
                    }
                }
                // The sentence being heard; its end stays in view.
                Flickable {
                    id: englishFlick
                    objectName: "englishFlick"
                    visible: card.recognizedText.length > 0
                    anchors.fill: parent
                    clip: true
                    contentWidth: width
                    contentHeight: englishText.implicitHeight
                    boundsBehavior: Flickable.StopAtBounds
                    onContentHeightChanged: contentY = Math.max(0, contentHeight - height)
                    onHeightChanged: contentY = Math.max(0, contentHeight - height)

                    TextEdit {
                        id: englishText
                        objectName: "recognizedText"
                        width: englishFlick.width
                        readOnly: true
                        selectByMouse: true
                        wrapMode: TextEdit.Wrap
                        textFormat: TextEdit.RichText
                        font.pixelSize: Theme.FontExtraLarge
                        color: Theme.textPrimary
                        selectionColor: Theme.primary
                        readonly property string plain: card.recognizedText
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
                        property real fade: card.isRecording ? 1 : 0
                        visible: fade > 0
                        Behavior on fade { NumberAnimation { duration: 250 } }
                    }
                }
            }

            // Chinese section.
            ColumnLayout {
                id: chineseSection
                objectName: "chineseSection"
                visible: card.isTranslationEnabled
                Layout.fillWidth: true
                Layout.fillHeight: true
                spacing: 8
                Rectangle {
                    Layout.fillWidth: true
                    Layout.preferredHeight: 1
                    color: Theme.stroke
                }
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    SectionHeading {
                        objectName: "translationHeading"
                        symbol: "character.bubble"
                        title: "中文翻译（最近 " + card.visibleCount + " 条）"
                    }
                    BusyIndicator {
                        objectName: "translatingIndicator"
                        visible: card.engine ? card.engine.isTranslating : false
                        running: visible
                        Layout.preferredWidth: 16
                        Layout.preferredHeight: 16
                    }
                    // The service in use, known from the start; a click opens
                    // the settings.
                    Text {
                        id: serviceState
                        objectName: "serviceStateText"
                        readonly property var status: card.engine ? card.engine.translationService : null
                        Layout.fillWidth: true
                        horizontalAlignment: Text.AlignRight
                        text: status ? status.text : ""
                        font.pixelSize: Theme.FontCaption
                        font.underline: serviceHover.hovered
                        color: status && status.needsAttention ? Theme.warning : Theme.textSecondary
                        elide: Text.ElideRight
                        HoverHandler { id: serviceHover; cursorShape: Qt.PointingHandCursor }
                        TapHandler { onTapped: card.settingsRequested() }
                        HelpToolTip { text: "翻译设置：翻译引擎 / 本地服务地址 / API Key"; visible: serviceHover.hovered }
                    }
                }
                Text {
                    objectName: "translationUnavailableText"
                    visible: card.translationUnavailable
                    Layout.fillWidth: true
                    text: "翻译功能需要本地翻译服务（LibreTranslate）。"
                    font.pixelSize: Theme.FontBody
                    color: Theme.warning
                    wrapMode: Text.Wrap
                }
                RecentTranslationList {
                    objectName: "recentTranslationList"
                    visible: !card.translationUnavailable
                    Layout.fillWidth: true
                    Layout.fillHeight: true
                    Layout.minimumHeight: 40
                    entries: App.recentTranslations
                    visibleCount: card.visibleCount
                }
            }
            Item {
                visible: !chineseSection.visible
                Layout.fillHeight: true
            }
        }

        Rectangle {
            objectName: "keyPointsDivider"
            visible: card.hasKeyPoints && (card.keyPointsBeside || card.stripExpanded)
            Layout.row: card.keyPointsBeside ? 0 : 1
            Layout.column: card.keyPointsBeside ? 1 : 0
            Layout.fillWidth: !card.keyPointsBeside
            Layout.fillHeight: card.keyPointsBeside
            Layout.preferredWidth: 1
            Layout.preferredHeight: 1
            color: Theme.stroke
        }

        KeyPointsPanel {
            visible: card.hasKeyPoints
            Layout.row: card.keyPointsBeside ? 0 : 2
            Layout.column: card.keyPointsBeside ? 2 : 0
            Layout.fillWidth: !card.keyPointsBeside
            Layout.fillHeight: card.keyPointsBeside
            Layout.preferredWidth: card.keyPointsBeside ? Math.min(380, Math.round(card.width * 0.34)) : -1
            points: App.summaryPoints
            isSummarizing: card.engine ? card.engine.isSummarizing : false
            strip: !card.keyPointsBeside
            expanded: card.stripExpanded
            maximumListHeight: Math.max(60, card.windowSize.height * 0.2)
            onToggleRequested: {
                card.stripOpen = !card.stripExpanded
                card.stripChosen = true
            }
        }
    }
}
