import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts
import Voxleaf

// "识别模型": which recognizer's text is translated, a Whisper model file of
// the user's choosing, and downloads of the standard English models.
ColumnLayout {
    id: section
    objectName: "recognizerSection"
    spacing: 6
    readonly property var recognizer: App.recognizer
    readonly property alias model: recognizerModel

    RecognizerSettingsModel {
        id: recognizerModel
        recognizer: section.recognizer
    }

    Text {
        text: "识别模型"
        font.pixelSize: Theme.FontCallout
        font.bold: true
        color: Theme.textPrimary
    }
    Text {
        objectName: "currentRecognizer"
        Layout.fillWidth: true
        text: "当前识别器：" + (App.engine ? App.engine.recognizerName : "PocketSphinx")
        font.pixelSize: Theme.FontBody
        color: Theme.textPrimary
        elide: Text.ElideRight
    }
    RowLayout {
        Layout.fillWidth: true
        spacing: 8
        ThemedButton {
            objectName: "chooseModelButton"
            text: "选择模型文件…"
            symbol: "folder"
            fontSize: 12
            enabled: !!section.recognizer && section.recognizer.available
            onClicked: modelDialog.open()
        }
        ThemedButton {
            objectName: "pocketSphinxButton"
            text: "仅用 PocketSphinx"
            fontSize: 12
            enabled: !!section.recognizer && section.recognizer.modelPath.length > 0
            onClicked: recognizerModel.usePocketSphinx()
        }
    }
    Text {
        objectName: "recognizerStatus"
        Layout.fillWidth: true
        visible: text.length > 0
        text: section.recognizer ? section.recognizer.status : ""
        wrapMode: Text.Wrap
        font.pixelSize: Theme.FontCaption
        color: section.recognizer && section.recognizer.failed ? Theme.warning : Theme.textSecondary
    }

    Repeater {
        model: recognizerModel.models
        RowLayout {
            objectName: "model_" + model.id
            Layout.fillWidth: true
            spacing: 8
            readonly property bool downloading: model.downloading
            Text {
                text: "Whisper " + model.title
                font.pixelSize: Theme.FontFootnote
                color: Theme.textPrimary
                Layout.preferredWidth: 190
                elide: Text.ElideRight
            }
            Text {
                text: model.sizeText
                font.pixelSize: Theme.FontCaption
                color: Theme.textSecondary
                Layout.preferredWidth: 64
            }
            ProgressBar {
                objectName: "downloadProgress"
                Layout.fillWidth: true
                visible: parent.downloading
                from: 0
                to: 1
                value: model.progress
            }
            Text {
                visible: parent.downloading
                text: model.progressText
                font.pixelSize: Theme.FontCaption
                color: Theme.textSecondary
            }
            Item { Layout.fillWidth: true; visible: !parent.downloading }
            ThemedButton {
                objectName: "modelAction"
                fontSize: 12
                enabled: !!section.recognizer && section.recognizer.available
                         && (parent.downloading || recognizerModel.downloadingId.length === 0)
                text: parent.downloading ? "取消" : model.downloaded ? "使用" : "下载"
                symbol: parent.downloading ? "xmark.circle.fill" : model.downloaded ? "checkmark" : "square.and.arrow.down"
                onClicked: parent.downloading ? recognizerModel.cancelDownload()
                         : model.downloaded ? recognizerModel.useModel(model.id)
                         : recognizerModel.download(model.id)
            }
        }
    }
    Text {
        objectName: "downloadMessage"
        Layout.fillWidth: true
        visible: text.length > 0
        text: recognizerModel.downloadMessage
        wrapMode: Text.Wrap
        font.pixelSize: Theme.FontCaption
        color: Theme.textSecondary
    }
    RowLayout {
        Layout.fillWidth: true
        spacing: 6
        Text {
            text: "下载地址"
            font.pixelSize: Theme.FontFootnote
            color: Theme.textSecondary
        }
        TextField {
            objectName: "downloadUrlField"
            Layout.fillWidth: true
            font.pixelSize: Theme.FontFootnote
            color: Theme.textPrimary
            selectByMouse: true
            text: recognizerModel.downloadUrl
            onEditingFinished: recognizerModel.downloadUrl = text
            background: Rectangle {
                implicitHeight: 26
                radius: 6
                color: Theme.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(1, 1, 1, 0.85)
                border.width: 1
                border.color: parent.activeFocus ? Theme.primary : Theme.stroke
            }
        }
    }
    Text {
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        font.pixelSize: Theme.FontCaption
        color: Theme.textSecondary
        text: "PocketSphinx 负责实时显示与断句；设置 Whisper 模型后，每句话说完会由 Whisper 再识别一遍，"
              + "译文、列表、字幕与课程记录都用 Whisper 的结果（更准确，稍慢）。模型保存在应用数据文件夹，"
              + "下载中断后可继续；可把下载地址换成镜像。"
    }

    FileDialog {
        id: modelDialog
        objectName: "modelDialog"
        title: "选择 Whisper 模型（ggml 格式，如 ggml-base.en.bin）"
        fileMode: FileDialog.OpenFile
        nameFilters: ["Whisper 模型 (*.bin)", "所有文件 (*)"]
        onAccepted: recognizerModel.useFile(selectedFile)
    }
}
