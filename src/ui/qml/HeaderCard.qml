import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts
import Voxleaf

// The main view's header: badge and title, the buttons of the floating
// subtitles, history, settings, theme and background (with their menus and
// pickers) and the recording status.
Card {
    id: header
    objectName: "headerCard"
    property bool isRecording: false
    // A low window: a smaller badge and no caption line.
    property bool compact: false
    signal historyRequested()
    signal settingsRequested()

    padding: compact ? 8 : 12
    Layout.preferredHeight: (compact ? 32 : 46) + 2 * padding
    RowLayout {
        anchors.fill: parent
        spacing: 10
        AppBadge {
            Layout.alignment: Qt.AlignVCenter
            Layout.preferredWidth: header.compact ? 32 : 46
            Layout.preferredHeight: header.compact ? 32 : 46
        }
        ColumnLayout {
            Layout.fillWidth: true
            Layout.minimumWidth: 60
            spacing: 2
            Text {
                objectName: "titleText"
                Layout.fillWidth: true
                text: "实时语音翻译"
                font.pixelSize: Theme.FontTitle
                font.bold: true
                color: Theme.textPrimary
                elide: Text.ElideRight
            }
            Text {
                visible: !header.compact
                Layout.fillWidth: true
                text: "Voxleaf · 英语实时识别与翻译"
                font.pixelSize: Theme.FontFootnote
                color: Theme.textSecondary
                elide: Text.ElideRight
            }
        }
        RowLayout {
            spacing: 2
            IconButton {
                objectName: "subtitleButton"
                symbol: App.settings.subtitleVisible ? "captions.bubble.fill" : "captions.bubble"
                help: "弹出 / 收起悬浮字幕窗（仅显示最近两句）"
                onClicked: App.settings.subtitleVisible ? App.hideSubtitle() : App.showSubtitle()
            }
            IconButton {
                objectName: "historyButton"
                symbol: "clock.arrow.circlepath"
                help: "历史课程：浏览与检索已归档的课堂记录"
                onClicked: header.historyRequested()
            }
            IconButton {
                objectName: "settingsButton"
                symbol: "gearshape"
                help: "翻译设置：翻译引擎 / API Key / 术语表"
                onClicked: header.settingsRequested()
            }
            IconButton {
                id: themeButton
                objectName: "themeButton"
                symbol: "paintpalette.fill"
                help: "切换界面主题：赛博朋克 / 极简瑞士 / OLED 暗黑 / 玻璃拟态"
                onClicked: themeMenu.popup(themeButton, 0, themeButton.height + 4)
            }
            IconButton {
                id: backgroundButton
                objectName: "backgroundButton"
                symbol: "photo.fill"
                help: "更换应用背景"
                onClicked: backgroundMenu.popup(backgroundButton, 0, backgroundButton.height + 4)
            }
        }
        StatusBadge {
            objectName: "statusBadge"
            Layout.leftMargin: 6
            isRecording: header.isRecording
        }
        // The recognizer in use ("PocketSphinx" or "Whisper base.en").
        Text {
            objectName: "recognizerName"
            text: App.engine ? App.engine.recognizerName : ""
            font.pixelSize: Theme.FontCaption
            color: Theme.textSecondary
        }
    }

    // Menus ---------------------------------------------------------------
    ThemedMenu {
        id: themeMenu
        objectName: "themeMenu"
        Instantiator {
            model: Theme.themes
            delegate: ThemedMenuItem {
                objectName: "themeItem_" + modelData.name
                text: modelData.displayName
                symbol: modelData.symbol
                current: Theme.name === modelData.name
                onTriggered: Theme.select(modelData.name)
            }
            onObjectAdded: (index, object) => themeMenu.insertItem(index, object)
            onObjectRemoved: (index, object) => themeMenu.removeItem(object)
        }
        MenuSeparator {}
        MenuItem {
            objectName: "themeCaption"
            enabled: false
            implicitHeight: 26
            text: Theme.displayName + " · 当前主题"
            contentItem: Text {
                leftPadding: 4
                text: parent.text
                font.pixelSize: Theme.FontFootnote
                color: Theme.textSecondary
            }
            background: Item {}
        }
    }

    ThemedMenu {
        id: backgroundMenu
        objectName: "backgroundMenu"
        ThemedMenuItem {
            objectName: "pickPhotoItem"
            text: "从相册选择"
            symbol: "photo.on.rectangle.angled"
            onTriggered: photoDialogLoader.active = true
        }
        ThemedMenuItem {
            objectName: "pickFileItem"
            text: "从文件选择"
            symbol: "folder"
            onTriggered: fileDialogLoader.active = true
        }
        MenuSeparator { visible: App.background.hasCustomBackground; height: visible ? implicitHeight : 0 }
        ThemedMenuItem {
            objectName: "clearBackgroundItem"
            visible: App.background.hasCustomBackground
            height: visible ? implicitHeight : 0
            text: "恢复默认背景"
            symbol: "arrow.counterclockwise"
            destructive: true
            onTriggered: App.background.clearBackground()
        }
    }

    // Pickers (built on first use). Linux has no photo library: the photo
    // picker is an image chooser opened in the Pictures folder.
    Loader {
        id: photoDialogLoader
        active: false
        sourceComponent: FileDialog {
            title: "从相册选择"
            currentFolder: "file://" + App.background.picturesFolder
            nameFilters: ["图片 (*.png *.jpg *.jpeg *.heic *.webp *.gif *.bmp *.tif *.tiff)"]
            modality: Qt.NonModal
            Component.onCompleted: open()
            onAccepted: { App.loadPhoto(selectedFile); photoDialogLoader.active = false }
            onRejected: photoDialogLoader.active = false
        }
    }
    Loader {
        id: fileDialogLoader
        active: false
        sourceComponent: FileDialog {
            title: "选择一张图片作为应用背景"
            currentFolder: "file://" + App.background.picturesFolder
            nameFilters: ["图片 (*.png *.jpg *.jpeg *.heic *.webp *.gif *.bmp *.tif *.tiff)"]
            modality: Qt.NonModal
            Component.onCompleted: open()
            onAccepted: { App.chooseBackgroundFile(selectedFile); fileDialogLoader.active = false }
            onRejected: fileDialogLoader.active = false
        }
    }
}
