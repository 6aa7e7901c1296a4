import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The control bar: input device, translation switch, level meter, session
// duration and the record button; one column when `compact`.
Card {
    id: bar
    objectName: "controlBar"
    property bool compact: false
    // A low window: tighter padding.
    property bool dense: false
    property bool isRecording: false
    property bool isTranslationEnabled: true
    property bool translationUnavailable: false

    padding: dense ? 8 : 12
    Layout.preferredHeight: controls.implicitHeight + 2 * padding
    GridLayout {
        id: controls
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        columns: bar.compact ? 1 : 2
        columnSpacing: 10
        rowSpacing: bar.dense ? 6 : 10

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Symbol {
                name: "mic.fill"
                size: 13
                color: Theme.textSecondary
            }
            Text {
                text: "输入设备"
                font.pixelSize: Theme.FontFootnote
                color: Theme.textSecondary
            }
            DevicePicker {
                objectName: "devicePicker"
                Layout.maximumWidth: 260
                Layout.fillWidth: false
                devices: App.devices
                selectedId: App.selectedDeviceID
                onPicked: id => App.selectedDeviceID = id
            }
            IconButton {
                objectName: "refreshButton"
                symbol: "arrow.clockwise"
                help: "刷新设备列表"
                onClicked: App.refreshDevices()
            }
            Item { Layout.fillWidth: true }
            RowLayout {
                visible: bar.translationUnavailable
                spacing: 4
                Symbol {
                    name: "exclamationmark.triangle"
                    size: 13
                    color: Theme.warning
                }
                Text {
                    objectName: "translationUnavailableLabel"
                    text: "翻译需本地翻译服务"
                    font.pixelSize: Theme.FontFootnote
                    color: Theme.warning
                }
            }
            ThemedSwitch {
                objectName: "translationSwitch"
                visible: !bar.translationUnavailable
                text: "中文翻译"
                symbol: "character.bubble"
                help: "将识别出的英语实时翻译为中文"
                checked: bar.isTranslationEnabled
                onToggled: {
                    App.setTranslationEnabled(checked)
                    checked = Qt.binding(function() { return bar.isTranslationEnabled })
                }
            }
        }

        RowLayout {
            Layout.fillWidth: bar.compact
            spacing: 12
            LevelMeter {
                objectName: "levelMeter"
                level: App.engine ? App.engine.level : 0
                isRecording: bar.isRecording
                audioActive: App.engine ? App.engine.audioActive : false
                interrupted: App.engine ? App.engine.captureInterrupted === true : false
            }
            Item { Layout.fillWidth: bar.compact; visible: bar.compact }
            Text {
                id: sessionDuration
                objectName: "sessionDuration"
                visible: bar.isRecording
                text: App.sessionDurationText
                font.family: "DejaVu Sans Mono"
                font.pixelSize: Theme.FontCallout
                color: Theme.textSecondary
                HoverHandler { id: durationHover }
                HelpToolTip { text: "课堂已运行时长"; visible: durationHover.hovered }
            }
            ThemedButton {
                objectName: "recordButton"
                prominent: true
                tint: bar.isRecording ? Theme.danger : Theme.primary
                symbol: bar.isRecording ? "stop.circle.fill" : "record.circle.fill"
                symbolSize: 18
                text: bar.isRecording ? "停止" : "开始"
                fontSize: Theme.FontCallout
                help: App.settings.recordButtonHelp
                onClicked: App.toggleRecording()
            }
        }
    }
}
