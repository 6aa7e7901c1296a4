import QtQuick
import QtQuick.Layouts
import Voxleaf

// The newest translations, newest first (the caller passes them in that
// order), or the hint naming how many will be listed.
ColumnLayout {
    id: list
    property var entries: []
    property int visibleCount: 10
    spacing: 12

    Text {
        objectName: "emptyTranslationsText"
        visible: list.entries.length === 0
        Layout.fillWidth: true
        text: "翻译结果将显示在这里（显示最近 " + list.visibleCount + " 条）"
        font.pixelSize: Theme.FontBody
        color: Theme.textSecondary
        wrapMode: Text.Wrap
    }
    Repeater {
        objectName: "translationRepeater"
        model: list.entries
        TranslationRow {
            objectName: "translationRow"
            Layout.fillWidth: true
            entry: modelData
            compact: true
        }
    }
}
