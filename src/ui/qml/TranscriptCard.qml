import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The transcript: the English being recognized (with its cursor), the newest
// translations and the key points, scrolled to what is new.
Card {
    id: card
    objectName: "transcriptArea"
    property bool isRecording: false
    property bool isTranslationEnabled: true
    property bool translationUnavailable: false
    property string recognizedText: ""
    property int visibleCount: 0
    readonly property var engine: App.engine
    // The translation service's state line was clicked.
    signal settingsRequested()

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
                visible: card.recognizedText.length === 0 && card.isRecording
                spacing: 6
                Symbol { name: "waveform"; size: 15; color: Theme.textSecondary }
                Text {
                    text: "等待下一句英语…"
                    font.pixelSize: Theme.FontCallout
                    color: Theme.textSecondary
                }
            }
            ColumnLayout {
                id: emptyHint
                objectName: "emptyHint"
                visible: card.recognizedText.length === 0 && !card.isRecording
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
                    font.pixelSize: Theme.FontBody
                    lineHeight: 1.2
                    color: Theme.textSecondary
                    wrapMode: Text.Wrap
                }
            }
            Item {
                id: englishBlock
                visible: card.recognizedText.length > 0
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

            // Chinese section.
            ColumnLayout {
                id: chineseSection
                objectName: "chineseSection"
                visible: card.isTranslationEnabled
                Layout.fillWidth: true
                Layout.topMargin: 4
                spacing: 12
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
                    id: translationList
                    objectName: "recentTranslationList"
                    visible: !card.translationUnavailable
                    Layout.fillWidth: true
                    entries: App.recentTranslations
                    visibleCount: card.visibleCount
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
                        font.pixelSize: Theme.FontCaption
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
                            font.pixelSize: Theme.FontCallout
                            color: Theme.textPrimary
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
        target: card.engine
        ignoreUnknownSignals: true
        function onRecognizedTextChanged() {
            Qt.callLater(function() {
                if (card.recognizedText.length === 0)
                    card.scrollTo(card.isRecording ? waitingHint : emptyHint, true)
                else
                    card.scrollTo(card.isRecording ? cursor : englishText, true)
            })
        }
        function onTranslatedTextChanged() {
            Qt.callLater(function() {
                var t = card.engine ? card.engine.translatedText : ""
                card.scrollTo(t.length > 0 ? translationList : englishText, false)
            })
        }
    }
}
