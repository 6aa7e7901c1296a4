import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The newest translations, newest first (the model gives them in that
// order), or the hint naming how many will be listed. Like a chat view it
// follows the newest sentence only while it is scrolled to it: a sentence
// that lands while the user reads further down leaves the rows where they
// are, and "回到最新" brings the newest back.
Item {
    id: list
    property var entries: null
    property int visibleCount: 10
    // Scrolled to the newest sentence (within a few pixels).
    readonly property bool atNewest: rows.contentY - rows.originY < 4
    readonly property alias view: rows

    function showNewest() {
        rows.positionViewAtBeginning()
    }

    Text {
        objectName: "emptyTranslationsText"
        visible: rows.count === 0
        width: parent.width
        text: "翻译结果将显示在这里（显示最近 " + list.visibleCount + " 条）"
        font.pixelSize: Theme.FontBody
        color: Theme.textSecondary
        wrapMode: Text.Wrap
    }

    ListView {
        id: rows
        objectName: "translationRepeater"
        anchors.fill: parent
        clip: true
        spacing: 12
        model: list.entries
        boundsBehavior: Flickable.StopAtBounds
        // Rows above the view stay built, so a row that grows there (a
        // placeholder filled in) does not shift what is being read.
        cacheBuffer: 2000
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
        delegate: TranslationRow {
            objectName: "translationRow"
            width: rows.width - 10
            entry: model
            compact: true
        }
    }

    ThemedButton {
        objectName: "backToNewestButton"
        visible: !list.atNewest && rows.count > 0
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 6
        z: 2
        text: "回到最新"
        symbol: "arrow.up"
        prominent: true
        tint: Theme.primary
        fontSize: Theme.FontFootnote
        help: "滚动到最新一句译文，之后新译文到达时自动跟随"
        onClicked: list.showNewest()
    }
}
