import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts
import Voxleaf

// The translation settings sheet (500 × 560): engine, visible count, course
// subject, DeepSeek key, local translation service and the glossary. Every
// value is stored as it changes; "完成" only closes the sheet.
Item {
    id: view
    objectName: "translationSettingsView"
    implicitWidth: 500
    implicitHeight: 560
    signal dismiss()
    property var host: null
    property SpeechEngine engine: App.engine
    property GlossaryManager glossary: App.glossary
    readonly property alias model: settingsModel

    TranslationSettingsModel {
        id: settingsModel
        engine: view.engine
        glossary: view.glossary
    }
    Component.onCompleted: settingsModel.checkService()

    Shortcut {
        sequences: ["Ctrl+Esc"]
        context: Qt.WindowShortcut
        onActivated: view.dismiss()
    }

    component Caption: Text {
        Layout.fillWidth: true
        wrapMode: Text.Wrap
        font.pixelSize: Theme.FontCaption
        color: Theme.textSecondary
    }
    component Headline: Text {
        font.pixelSize: Theme.FontCallout
        font.bold: true
        color: Theme.textPrimary
    }
    component Field: TextField {
        Layout.fillWidth: true
        font.pixelSize: Theme.FontBody
        color: Theme.textPrimary
        placeholderTextColor: Qt.rgba(Theme.textSecondary.r, Theme.textSecondary.g,
                                      Theme.textSecondary.b, 0.7)
        selectionColor: Theme.primary
        selectByMouse: true
        leftPadding: 8
        rightPadding: 8
        background: Rectangle {
            implicitHeight: 28
            radius: 6
            color: Theme.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(1, 1, 1, 0.85)
            border.width: 1
            border.color: parent.activeFocus ? Theme.primary : Theme.stroke
        }
    }
    component Divider: Rectangle {
        Layout.fillWidth: true
        implicitHeight: 1
        color: Theme.stroke
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        // Header.
        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 14
            spacing: 8
            Symbol {
                name: "gearshape.2.fill"
                size: 18
                color: Theme.primary
            }
            Text {
                text: "翻译设置"
                font.pixelSize: Theme.FontHeadline
                font.bold: true
                color: Theme.textPrimary
            }
            Item { Layout.fillWidth: true }
            ThemedButton {
                objectName: "doneButton"
                text: "完成"
                help: "关闭（Ctrl+Esc）"
                onClicked: view.dismiss()
            }
        }
        Divider {}

        Flickable {
            id: flick
            objectName: "settingsScroll"
            Layout.fillWidth: true
            Layout.fillHeight: true
            clip: true
            contentWidth: width
            contentHeight: sections.implicitHeight + 32
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

            ColumnLayout {
                id: sections
                x: 16
                y: 16
                width: flick.width - 32
                spacing: 16

                // Engine.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Headline { text: "翻译引擎" }
                    Row {
                        id: enginePicker
                        objectName: "enginePicker"
                        spacing: 0
                        readonly property string current: view.engine ? view.engine.translationEngine : "system"
                        Repeater {
                            model: [{ raw: "system", name: "系统离线翻译" }, { raw: "deepseek", name: "DeepSeek 在线翻译" }]
                            AbstractButton {
                                objectName: "engine_" + modelData.raw
                                readonly property bool selected: enginePicker.current === modelData.raw
                                width: 150
                                height: 26
                                focusPolicy: Qt.NoFocus
                                onClicked: if (view.engine) view.engine.translationEngine = modelData.raw
                                background: Rectangle {
                                    radius: 6
                                    color: parent.selected ? Theme.primary
                                                           : (Theme.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(0, 0, 0, 0.04))
                                    border.width: 1
                                    border.color: Theme.stroke
                                }
                                contentItem: Text {
                                    text: modelData.name
                                    horizontalAlignment: Text.AlignHCenter
                                    verticalAlignment: Text.AlignVCenter
                                    font.pixelSize: Theme.FontFootnote
                                    font.weight: parent.selected ? Font.DemiBold : Font.Normal
                                    color: parent.selected ? (Theme.primary.hslLightness > 0.62 ? "#101014" : "white")
                                                           : Theme.textPrimary
                                }
                            }
                        }
                    }
                    Caption {
                        objectName: "engineCaption"
                        text: "系统离线翻译：免费、无网可用、数据不出本机，但需在本机运行本地翻译服务（LibreTranslate）且质量一般。\nDeepSeek 在线翻译：翻译质量更高，可严格遵循下方术语表，需联网并配置 API Key。"
                    }
                }

                // Display.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Headline { text: "中文翻译显示" }
                    RowLayout {
                        spacing: 10
                        Text {
                            objectName: "countLabel"
                            text: "主界面显示最近 " + settingsModel.visibleTranslationCount + " 条"
                            font.pixelSize: Theme.FontBody
                            color: Theme.textPrimary
                        }
                        Row {
                            spacing: 0
                            Repeater {
                                model: [{ t: "−", d: -1, n: "countDown" }, { t: "+", d: 1, n: "countUp" }]
                                AbstractButton {
                                    objectName: modelData.n
                                    width: 26
                                    height: 22
                                    focusPolicy: Qt.NoFocus
                                    autoRepeat: true
                                    enabled: modelData.d < 0 ? settingsModel.visibleTranslationCount > 1
                                                             : settingsModel.visibleTranslationCount < 100
                                    opacity: enabled ? 1 : 0.4
                                    onClicked: settingsModel.visibleTranslationCount += modelData.d
                                    background: Rectangle {
                                        radius: 5
                                        color: parent.down ? Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.25)
                                                           : (Theme.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(0, 0, 0, 0.04))
                                        border.width: 1
                                        border.color: Theme.stroke
                                    }
                                    contentItem: Text {
                                        text: modelData.t
                                        horizontalAlignment: Text.AlignHCenter
                                        verticalAlignment: Text.AlignVCenter
                                        font.pixelSize: Theme.FontCallout
                                        color: Theme.textPrimary
                                    }
                                }
                            }
                        }
                    }
                    Caption { text: "默认显示最近 10 条翻译；更早内容仍会保留在本节课记录中，可在课后回看。" }
                }

                // Subject.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Headline { text: "课程科目" }
                    Field {
                        objectName: "subjectField"
                        placeholderText: "课程科目（可选，如：微积分、线性代数）"
                        text: settingsModel.subject
                        onTextEdited: settingsModel.subject = text
                    }
                    Caption { text: "填写后，DeepSeek 翻译与摘要会优先使用该学科的术语与表达。" }
                }

                // API key.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Headline { text: "DeepSeek API Key" }
                    Field {
                        objectName: "apiKeyField"
                        placeholderText: "sk-..."
                        echoMode: TextInput.Password
                        text: settingsModel.apiKey
                        onTextEdited: settingsModel.apiKey = text
                    }
                    Caption { text: "用于「DeepSeek 在线翻译」与「课程审阅」。key 仅保存在本机（本地配置文件）。" }
                }

                // Local translation service.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Headline { text: "本地翻译服务" }
                    Field {
                        objectName: "localUrlField"
                        placeholderText: "http://127.0.0.1:5000"
                        text: settingsModel.localTranslationUrl
                        readOnly: settingsModel.localUrlFromEnvironment
                        opacity: readOnly ? 0.7 : 1
                        onEditingFinished: settingsModel.localTranslationUrl = text
                    }
                    Caption {
                        objectName: "localUrlFromEnvironment"
                        visible: settingsModel.localUrlFromEnvironment
                        text: "地址来自环境变量 VOXLEAF_LOCAL_TRANSLATION_URL，在此不能修改。"
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 6
                        Symbol {
                            name: settingsModel.serviceState === TranslationSettingsModel.Answering ? "checkmark.circle.fill"
                                  : settingsModel.serviceState === TranslationSettingsModel.Checking ? "arrow.clockwise" : "exclamationmark.triangle.fill"
                            size: 13
                            color: settingsModel.serviceState === TranslationSettingsModel.Answering ? Theme.success
                                   : settingsModel.serviceState === TranslationSettingsModel.Checking ? Theme.textSecondary : Theme.warning
                        }
                        Text {
                            objectName: "serviceStatus"
                            Layout.fillWidth: true
                            text: settingsModel.serviceStatus
                            wrapMode: Text.Wrap
                            font.pixelSize: Theme.FontCaption
                            color: settingsModel.serviceState === TranslationSettingsModel.Answering ? Theme.success
                                   : settingsModel.serviceState === TranslationSettingsModel.Checking ? Theme.textSecondary : Theme.warning
                        }
                        ThemedButton {
                            text: "重新检测"
                            fontSize: Theme.FontCaption
                            padding: 3
                            leftPadding: 8
                            rightPadding: 8
                            onClicked: settingsModel.checkService()
                        }
                    }
                    Caption { text: "「系统离线翻译」使用本机运行的 LibreTranslate 兼容服务，例如：libretranslate --load-only en,zh。" }
                }

                RecognizerSettingsSection { Layout.fillWidth: true }

                // The key that starts and stops recognition.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 6
                    Headline { text: "快捷键" }
                    Field {
                        id: shortcutField
                        objectName: "recordShortcutField"
                        placeholderText: "Ctrl+Space"
                        text: App.settings.recordShortcut
                        property bool rejected: false
                        onTextEdited: rejected = false
                        onEditingFinished: {
                            rejected = !App.settings.setRecordShortcut(text)
                            if (!rejected)
                                text = App.settings.recordShortcut
                        }
                    }
                    Caption {
                        objectName: "recordShortcutCaption"
                        text: shortcutField.rejected ? "无法识别这个按键组合，请写成例如 Ctrl+Shift+Space 或 F8。"
                                                     : "开始 / 停止识别，当前为 " + App.settings.recordShortcutLabel
                                                       + "。中文输入法常占用 Ctrl+空格，可改为例如 Ctrl+Shift+Space 或 F8。"
                    }
                }

                // Glossary.
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 8
                    RowLayout {
                        Layout.fillWidth: true
                        Headline { text: "术语表" }
                        Item { Layout.fillWidth: true }
                        Text {
                            objectName: "termCount"
                            text: settingsModel.termCount + " 条"
                            font.pixelSize: Theme.FontCaption
                            color: Theme.textSecondary
                        }
                    }
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 6
                        Field {
                            objectName: "newSourceField"
                            placeholderText: "英文术语"
                            text: settingsModel.newSource
                            onTextEdited: settingsModel.newSource = text
                        }
                        Field {
                            objectName: "newTargetField"
                            placeholderText: "中文译名"
                            text: settingsModel.newTarget
                            onTextEdited: settingsModel.newTarget = text
                            // Enter adds the pair, as the + button does.
                            onAccepted: if (settingsModel.canAdd) settingsModel.addTerm()
                        }
                        IconButton {
                            id: addButton
                            objectName: "addTermButton"
                            help: "添加术语"
                            enabled: settingsModel.canAdd
                            tint: Theme.primary
                            onClicked: settingsModel.addTerm()
                            Text {
                                anchors.centerIn: parent
                                text: "+"
                                font.pixelSize: Theme.FontDisplay
                                font.bold: true
                                color: addButton.enabled ? Theme.primary : Theme.textSecondary
                            }
                        }
                    }
                    Text {
                        objectName: "conflictMessage"
                        visible: settingsModel.conflictMessage.length > 0
                        Layout.fillWidth: true
                        text: settingsModel.conflictMessage
                        wrapMode: Text.Wrap
                        font.pixelSize: Theme.FontCaption
                        color: "#ff9500"
                    }

                    // Suggestions from the current lecture.
                    ColumnLayout {
                        objectName: "candidateSection"
                        visible: settingsModel.candidates.count > 0
                        Layout.fillWidth: true
                        spacing: 6
                        Text {
                            text: "本节课高频词（点击填入英文，补充中文译名后添加）"
                            font.pixelSize: Theme.FontCaption
                            font.bold: true
                            color: Theme.textPrimary
                        }
                        Flow {
                            Layout.fillWidth: true
                            spacing: 6
                            Repeater {
                                objectName: "candidateRepeater"
                                model: settingsModel.candidates
                                ThemedButton {
                                    objectName: "chip_" + model.word
                                    text: model.label
                                    help: model.help
                                    fontSize: Theme.FontCaption
                                    fontWeight: Font.Normal
                                    padding: 2
                                    leftPadding: 8
                                    rightPadding: 8
                                    implicitHeight: 22
                                    onClicked: settingsModel.chooseCandidate(model.word)
                                }
                            }
                        }
                    }

                    // Terms.
                    Caption {
                        objectName: "emptyGlossary"
                        visible: settingsModel.termCount === 0
                        text: "暂无术语。DeepSeek 在线翻译时会强制遵循术语表，提升专业词汇译文一致性。"
                    }
                    Repeater {
                        objectName: "termRepeater"
                        model: settingsModel.glossary
                        Rectangle {
                            Layout.fillWidth: true
                            implicitHeight: termRow.implicitHeight + 10
                            radius: 6
                            color: "transparent"
                            border.width: 1
                            border.color: Theme.stroke
                            RowLayout {
                                id: termRow
                                anchors.fill: parent
                                anchors.leftMargin: 10
                                anchors.rightMargin: 4
                                spacing: 6
                                Text {
                                    text: model.source
                                    font.pixelSize: Theme.FontBody
                                    font.bold: true
                                    color: Theme.primary
                                    elide: Text.ElideRight
                                    Layout.maximumWidth: 180
                                }
                                Symbol {
                                    name: "arrow.right"
                                    size: 12
                                    color: Theme.textSecondary
                                }
                                Text {
                                    Layout.fillWidth: true
                                    text: model.target
                                    font.pixelSize: Theme.FontBody
                                    color: Theme.textPrimary
                                    elide: Text.ElideRight
                                }
                                IconButton {
                                    objectName: "deleteTerm_" + model.source
                                    symbol: "xmark.circle.fill"
                                    help: "删除术语"
                                    tint: Theme.textSecondary
                                    implicitWidth: 24
                                    implicitHeight: 24
                                    onClicked: settingsModel.removeTerm(model.id)
                                }
                            }
                        }
                    }

                    RowLayout {
                        spacing: 8
                        ThemedButton {
                            objectName: "importButton"
                            text: "从 Markdown 词库导入…"
                            symbol: "square.and.arrow.down"
                            fontSize: Theme.FontFootnote
                            onClicked: importDialog.open()
                        }
                        ThemedButton {
                            objectName: "clearAllButton"
                            text: "清空全部"
                            destructive: true
                            tint: Theme.danger
                            fontSize: Theme.FontFootnote
                            enabled: settingsModel.termCount > 0
                            onClicked: settingsModel.clearAll()
                        }
                    }
                    Caption {
                        objectName: "importMessage"
                        visible: settingsModel.importMessage.length > 0
                        text: settingsModel.importMessage
                    }
                }
            }
        }
    }

    FileDialog {
        id: importDialog
        objectName: "importDialog"
        title: "选择 Markdown 词库（表格格式：| 英文 | 中文 | 注释 |）"
        fileMode: FileDialog.OpenFile
        currentFolder: settingsModel.homeFolder
        // Over the main window, not squeezed into this sheet.
        parentWindow: view.Window.window && view.Window.window.transientParent ? view.Window.window.transientParent : null
        nameFilters: ["Markdown 或纯文本 (*.md *.markdown *.txt)", "所有文件 (*)"]
        onAccepted: settingsModel.importGlossary(selectedFile)
    }
}
