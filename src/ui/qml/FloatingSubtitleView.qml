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

        ColumnLayout {
            anchors.fill: parent
            anchors.margins: 12
            spacing: 8

            RowLayout {
                Layout.fillWidth: true
                spacing: 6
                Symbol {
                    name: "captions.bubble.fill"
                    size: 14
                    color: Theme.primary
                }
                Text {
                    objectName: "subtitleTitle"
                    text: "实时字幕 · 最近两句"
                    font.bold: true
                    font.pixelSize: Theme.FontFootnote
                    color: win.labelColor
                }
                Item { Layout.fillWidth: true }
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
                    onClicked: stylePopup.opened ? stylePopup.close() : stylePopup.open()
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
                Layout.fillWidth: true
                Layout.fillHeight: true
                clip: true

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
                    spacing: 8
                    Repeater {
                        objectName: "entryRepeater"
                        model: win.controller.entries
                        Rectangle {
                            objectName: "subtitleEntry" + index
                            width: entryColumn.width
                            height: entryText.implicitHeight + 16
                            radius: 10
                            color: win.dark ? Qt.rgba(0, 0, 0, 0.4) : Qt.rgba(1, 1, 1, 0.35)
                            border.width: 1
                            border.color: win.withAlpha(Theme.stroke, 0.8)
                            Column {
                                id: entryText
                                x: 10
                                y: 8
                                width: parent.width - 20
                                spacing: 3
                                Text {
                                    objectName: "sourceText"
                                    width: parent.width
                                    text: model.source
                                    color: win.secondaryLabelColor
                                    font.pixelSize: win.controller.englishFontSize
                                    wrapMode: Text.Wrap
                                    maximumLineCount: 2
                                    elide: Text.ElideRight
                                }
                                Text {
                                    objectName: "targetText"
                                    width: parent.width
                                    text: model.target
                                    color: win.labelColor
                                    font.pixelSize: win.controller.subtitleFontSize
                                    font.weight: Font.Medium
                                    wrapMode: Text.Wrap
                                    maximumLineCount: 2
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

    Popup {
        id: stylePopup
        objectName: "stylePopup"
        x: Math.max(4, win.width - width - 10)
        y: 36
        padding: 10
        background: Rectangle {
            radius: 8
            color: win.dark ? Qt.rgba(0.16, 0.16, 0.18, 0.97) : Qt.rgba(0.98, 0.98, 0.98, 0.97)
            border.width: 1
            border.color: win.withAlpha(win.secondaryLabelColor, 0.4)
        }
        contentItem: Column {
            spacing: 6
            Row {
                spacing: 6
                Text {
                    width: 40
                    anchors.verticalCenter: parent.verticalCenter
                    text: "透明度"
                    font.pixelSize: Theme.FontFootnote
                    color: win.labelColor
                }
                Slider {
                    objectName: "opacitySlider"
                    width: 130
                    from: 0.3
                    to: 1.0
                    live: true
                    value: win.controller.subtitleOpacity
                    onMoved: win.controller.subtitleOpacity = value
                }
            }
            Row {
                spacing: 6
                Text {
                    width: 40
                    anchors.verticalCenter: parent.verticalCenter
                    text: "字号"
                    font.pixelSize: Theme.FontFootnote
                    color: win.labelColor
                }
                Slider {
                    objectName: "fontSizeSlider"
                    width: 130
                    from: 11
                    to: 24
                    stepSize: 1
                    snapMode: Slider.SnapAlways
                    live: true
                    value: win.controller.subtitleFontSize
                    onMoved: win.controller.subtitleFontSize = value
                }
            }
            Text {
                text: "设置会自动记住"
                font.pixelSize: Theme.FontTiny
                color: win.secondaryLabelColor
            }
        }
    }
}
