import QtQuick
import QtQuick.Layouts

// A symbol and a bold caption heading a transcript section.
RowLayout {
    property string symbol: ""
    property string title: ""
    property color tint: app.theme.primary
    spacing: 6
    Symbol {
        name: parent.symbol
        size: 15
        color: parent.tint
    }
    Text {
        objectName: "headingText"
        text: parent.title
        font.pixelSize: 13
        font.bold: true
        color: app.theme.textPrimary
    }
}
