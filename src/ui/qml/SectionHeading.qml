import QtQuick
import QtQuick.Layouts
import Voxleaf

// A symbol and a bold caption heading a transcript section.
RowLayout {
    property string symbol: ""
    property string title: ""
    property color tint: Theme.primary
    spacing: 6
    Symbol {
        name: parent.symbol
        size: 15
        color: parent.tint
    }
    Text {
        objectName: "headingText"
        text: parent.title
        font.pixelSize: Theme.FontBody
        font.bold: true
        color: Theme.textPrimary
    }
}
