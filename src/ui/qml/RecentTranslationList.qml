import QtQuick
import QtQuick.Layouts
import Voxleaf

// The newest translations, newest first (the caller passes them in that
// order), or the hint naming how many will be listed.
ColumnLayout {
    id: list
    property var entries: null
    property int visibleCount: 10
    spacing: 12

    Text {
        objectName: "emptyTranslationsText"
        visible: rows.count === 0
        Layout.fillWidth: true
        text: "翻译结果将显示在这里（显示最近 " + list.visibleCount + " 条）"
        font.pixelSize: Theme.FontBody
        color: Theme.textSecondary
        wrapMode: Text.Wrap
    }
    Repeater {
        id: rows
        objectName: "translationRepeater"
        model: list.entries
        TranslationRow {
            objectName: "translationRow"
            Layout.fillWidth: true
            entry: model
            compact: true
        }
    }
}
