import QtQuick
import Voxleaf

// The theme's card: cardFill (translucent where the theme's cards are
// material), a 1 point stroke and a soft glow shadow in the theme's glow
// colour. Children go into the padded content area.
Item {
    id: card
    property real radius: 14
    property real padding: 12
    property bool showFill: true
    property color fillColor: Theme.cardFill
    property color strokeColor: Theme.stroke
    property color glowColor: Theme.glow
    default property alias content: body.data
    readonly property alias contentItem: body


    // Glow: a few widening outlines whose opacity falls off outwards.
    Repeater {
        model: 5
        Rectangle {
            readonly property real spread: (index + 1) * 2.2
            x: -spread
            y: -spread + 1.5
            width: card.width + 2 * spread
            height: card.height + 2 * spread
            radius: card.radius + spread
            color: "transparent"
            border.width: 2.4
            border.color: Qt.rgba(card.glowColor.r, card.glowColor.g, card.glowColor.b,
                                  card.glowColor.a * (1.0 - index / 5) * 0.9)
        }
    }

    Rectangle {
        anchors.fill: parent
        radius: card.radius
        color: card.showFill ? card.fillColor : "transparent"
        border.width: 1
        border.color: card.strokeColor
    }

    Item {
        id: body
        anchors.fill: parent
        anchors.margins: card.padding
    }
}
