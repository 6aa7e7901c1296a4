import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QtQuick.Window
import Voxleaf

// The floating subtitle window: the two newest translations over everything
// else. Built and owned by FloatingSubtitleController, which places, shows,
// hides, resizes and remembers it.
Window {
    id: win
    objectName: "floatingSubtitleWindow"
    required property FloatingSubtitleController controller

    width: 360
    height: 230
    minimumWidth: 280
    minimumHeight: 170
    color: "transparent"
    title: "实时字幕"

    // Label colours follow the window appearance chosen at creation; the
    // theme colours follow the theme at once.
    readonly property bool dark: controller.darkAppearance
    readonly property color labelColor: dark ? Qt.rgba(1, 1, 1, 0.92) : Qt.rgba(0, 0, 0, 0.86)
    readonly property color secondaryLabelColor: dark ? Qt.rgba(0.92, 0.92, 0.96, 0.62) : Qt.rgba(0.24, 0.24, 0.26, 0.66)
    readonly property color tertiaryLabelColor: dark ? Qt.rgba(0.92, 0.92, 0.96, 0.32) : Qt.rgba(0.24, 0.24, 0.26, 0.32)

    function withAlpha(c, a) { return Qt.rgba(c.r, c.g, c.b, c.a * a) }

    // Soft glow around the card, drawn inside the window.
    Repeater {
        model: 3
        Rectangle {
            anchors.fill: card
            anchors.margins: -(index + 1) * 1.5
            radius: card.radius + (index + 1) * 1.5
            color: "transparent"
            border.width: 1.5
            border.color: win.withAlpha(Theme.glow, (3 - index) / 3)
        }
    }

    Rectangle {
        id: card
        objectName: "subtitleCard"
        anchors.fill: parent
        anchors.margins: 4
        radius: 16
        color: win.withAlpha(Theme.cardFill, win.controller.subtitleOpacity)
        border.width: 1
        border.color: Theme.stroke

        // Dragging the background moves the window.
        MouseArea {
            id: moveArea
            objectName: "moveArea"
            anchors.fill: parent
            property point pressGlobal
            property bool manual: false
            onPressed: (mouse) => {
                pressGlobal = mapToGlobal(mouse.x, mouse.y)
                manual = !win.controller.beginMove()
            }
            onPositionChanged: (mouse) => {
                if (!manual)
                    return
                const g = mapToGlobal(mouse.x, mouse.y)
                win.controller.moveDrag(g.x - pressGlobal.x, g.y - pressGlobal.y)
            }
            onReleased: win.controller.endMove()
        }

        // The title row's own backdrop, like the entries', so it stays
        // readable however faint the card is.
        Rectangle {
            objectName: "titleBackdrop"
            x: columns.x + titleRow.x - 6
            y: columns.y + titleRow.y - 3
            width: titleRow.width + 12
            height: titleRow.height + 6
            radius: 8
            color: win.dark ? Qt.rgba(0, 0, 0, win.controller.entryBackdropOpacity)
                            : Qt.rgba(1, 1, 1, win.controller.entryBackdropOpacity)
        }

        ColumnLayout {
            id: columns
            anchors.fill: parent
            anchors.margins: 12
            // The text inside the entries ends above the resize handle.
            anchors.bottomMargin: 17
            spacing: 8

            RowLayout {
                id: titleRow
                Layout.fillWidth: true
                spacing: 6
                Symbol {
                    name: "captions.bubble.fill"
                    size: 14
                    color: Theme.primary
                }
                Text {
                    objectName: "subtitleTitle"
                    visible: !win.controller.styleControlsOpen
                    text: "实时字幕 · 最近两句"
                    font.bold: true
                    font.pixelSize: Theme.FontFootnote
                    color: win.labelColor
                }
                Item {
                    visible: !win.controller.styleControlsOpen
                    Layout.fillWidth: true
                }
                // The style controls take the title's place: the entries keep
                // all of the body.
                Rectangle {
                    id: stylePopup
                    objectName: "stylePopup"
                    visible: win.controller.styleControlsOpen
                    Layout.fillWidth: true
                    implicitHeight: 22
                    radius: 7
                    color: win.dark ? Qt.rgba(0.16, 0.16, 0.18, 0.92) : Qt.rgba(0.98, 0.98, 0.98, 0.92)
                    border.width: 1
                    border.color: win.withAlpha(win.secondaryLabelColor, 0.4)
                    RowLayout {
                        id: styleRow
                        anchors.fill: parent
                        anchors.leftMargin: 6
                        anchors.rightMargin: 6
                        spacing: 4
                        Text {
                            text: "透明度"
                            font.pixelSize: Theme.FontFootnote
                            color: win.labelColor
                        }
                        CompactSlider {
                            objectName: "opacitySlider"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 100
                            implicitHeight: 20
                            from: 0.3
                            to: 1.0
                            live: true
                            value: win.controller.subtitleOpacity
                            onMoved: win.controller.subtitleOpacity = value
                        }
                        Text {
                            Layout.leftMargin: 4
                            text: "字号"
                            font.pixelSize: Theme.FontFootnote
                            color: win.labelColor
                        }
                        CompactSlider {
                            objectName: "fontSizeSlider"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 100
                            implicitHeight: 20
                            from: 11
                            to: 24
                            stepSize: 1
                            snapMode: Slider.SnapAlways
                            live: true
                            value: win.controller.subtitleFontSize
                            onMoved: win.controller.subtitleFontSize = value
                        }
                    }
                }
                ToolButton {
                    id: styleButton
                    objectName: "styleMenuButton"
                    implicitWidth: 24
                    implicitHeight: 22
                    padding: 0
                    contentItem: Item {
                        Symbol {
                            anchors.centerIn: parent
                            name: "slider.horizontal.3"
                            size: 14
                            color: Theme.secondary
                        }
                    }
                    background: Item {}
                    hoverEnabled: true
                    HelpToolTip {
                        text: "字幕窗样式：透明度 / 字号"
                        visible: styleButton.hovered
                    }
                    onClicked: win.controller.styleControlsOpen = !win.controller.styleControlsOpen
                }
                ToolButton {
                    id: closeButton
                    objectName: "closeButton"
                    implicitWidth: 22
                    implicitHeight: 22
                    padding: 0
                    contentItem: Item {
                        Symbol {
                            anchors.centerIn: parent
                            name: "xmark.circle.fill"
                            size: 16
                            color: win.secondaryLabelColor
                        }
                    }
                    background: Item {}
                    hoverEnabled: true
                    HelpToolTip {
                        text: "收起字幕窗"
                        visible: closeButton.hovered
                    }
                    onClicked: win.controller.hideSubtitle()
                }
            }

            // Body: the placeholder, or the newest two translations.
            Item {
                id: body
                objectName: "subtitleBody"
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true

                Binding {
                    target: win.controller
                    property: "bodySize"
                    value: Qt.size(body.width, body.height)
                }

                ColumnLayout {
                    objectName: "emptyState"
                    visible: !win.controller.hasEntries
                    anchors.fill: parent
                    spacing: 6
                    Item { Layout.fillHeight: true }
                    Symbol {
                        Layout.alignment: Qt.AlignHCenter
                        name: "captions.bubble"
                        size: 24
                        color: win.secondaryLabelColor
                    }
                    Text {
                        Layout.fillWidth: true
                        text: "开始说话后，最近两句译文将显示在这里"
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.FontFootnote
                        color: win.secondaryLabelColor
                    }
                    Item { Layout.fillHeight: true }
                }

                Column {
                    id: entryColumn
                    objectName: "entryColumn"
                    visible: win.controller.hasEntries
                    width: parent.width
                    spacing: win.controller.entryGap
                    Repeater {
                        objectName: "entryRepeater"
                        model: win.controller.entries
                        // Sizes and line counts come from the controller, fitted to the body.
                        Rectangle {
                            objectName: "subtitleEntry" + index
                            width: entryColumn.width
                            height: entryText.implicitHeight + 2 * win.controller.entryPaddingY
                            radius: 10
                            // Opaque enough of its own for the text to stay readable
                            // however transparent the card is.
                            color: win.dark ? Qt.rgba(0, 0, 0, win.controller.entryBackdropOpacity)
                                            : Qt.rgba(1, 1, 1, win.controller.entryBackdropOpacity)
                            border.width: 1
                            border.color: win.withAlpha(Theme.stroke, 0.8)
                            Column {
                                id: entryText
                                x: win.controller.entryPaddingX
                                y: win.controller.entryPaddingY
                                width: parent.width - 2 * win.controller.entryPaddingX
                                spacing: win.controller.entryLineGap
                                Text {
                                    objectName: "sourceText"
                                    width: parent.width
                                    text: model.source
                                    color: win.secondaryLabelColor
                                    font.pixelSize: win.controller.fittedEnglishSize
                                    wrapMode: Text.Wrap
                                    maximumLineCount: win.controller.fittedLineLimit
                                    elide: Text.ElideRight
                                }
                                Text {
                                    objectName: "targetText"
                                    width: parent.width
                                    text: model.target
                                    color: win.labelColor
                                    font.pixelSize: win.controller.fittedChineseSize
                                    font.weight: Font.Medium
                                    wrapMode: Text.Wrap
                                    maximumLineCount: win.controller.fittedLineLimit
                                    elide: Text.ElideRight
                                }
                            }
                        }
                    }
                }
            }
        }

        // Resize handle in the bottom-right corner: the top-left corner stays.
        Item {
            id: resizeHandle
            objectName: "resizeHandle"
            width: 22
            height: 22
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            anchors.margins: 3
            Symbol {
                anchors.centerIn: parent
                name: "arrow.up.left.and.arrow.down.right"
                size: 12
                color: win.tertiaryLabelColor
            }
            MouseArea {
                id: resizeArea
                objectName: "resizeArea"
                anchors.fill: parent
                cursorShape: Qt.SizeFDiagCursor
                hoverEnabled: true
                property point pressGlobal
                HelpToolTip {
                    text: "拖拽调整字幕窗大小"
                    visible: resizeArea.containsMouse && !resizeArea.pressed
                }
                onPressed: (mouse) => { pressGlobal = mapToGlobal(mouse.x, mouse.y) }
                onPositionChanged: (mouse) => {
                    if (!pressed)
                        return
                    const g = mapToGlobal(mouse.x, mouse.y)
                    win.controller.resizeDrag(g.x - pressGlobal.x, g.y - pressGlobal.y)
                }
                onReleased: win.controller.endResize()
                onCanceled: win.controller.endResize()
            }
        }
    }
}
