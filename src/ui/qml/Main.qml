import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import QtQuick.Templates as T
import QtQuick.Window
import Voxleaf

// The main window: the theme background under either the permission view or
// the main view, switched live by the permission state, and the question
// asked when the window is closed during a course.
Window {
    id: root
    objectName: "mainWindow"
    width: 760
    height: 640
    minimumWidth: 560
    minimumHeight: 440
    visible: true
    title: "实时语音翻译"
    color: Theme.panelBackground

    readonly property var quitControl: App.quitController

    AppBackground {
        id: background
        objectName: "appBackground"
        anchors.fill: parent
        background: App.background
        themeName: App.settings.themeName
    }

    Loader {
        id: gate
        objectName: "permissionGate"
        anchors.fill: parent
        sourceComponent: App.allGranted ? mainView : permissionView
    }

    Component {
        id: mainView
        ContentView {}
    }

    Component {
        id: permissionView
        PermissionView {}
    }

    // "结束并保存本节课？": shown while the quit controller asks.
    Popup {
        id: quitQuestion
        objectName: "quitQuestion"
        parent: T.Overlay.overlay
        anchors.centerIn: parent
        width: Math.min(440, root.width - 40)
        modal: true
        dim: true
        closePolicy: Popup.NoAutoClose
        visible: root.quitControl.isAskingToEndCourse
        padding: 20

        T.Overlay.modal: Rectangle {
            color: Qt.rgba(0, 0, 0, 0.45)
        }

        background: Item {
            Rectangle {
                anchors.fill: parent
                radius: 14
                color: Theme.panelBackground
            }
            Card {
                anchors.fill: parent
            }
        }

        contentItem: ColumnLayout {
            spacing: 12
            RowLayout {
                spacing: 8
                Symbol {
                    name: "exclamationmark.triangle.fill"
                    size: 18
                    color: Theme.warning
                }
                Text {
                    objectName: "quitQuestionTitle"
                    Layout.fillWidth: true
                    text: "结束并保存本节课？"
                    font.pixelSize: Theme.FontHeadline
                    font.bold: true
                    color: Theme.textPrimary
                    wrapMode: Text.Wrap
                }
            }
            Text {
                objectName: "quitQuestionText"
                Layout.fillWidth: true
                text: "课程仍在进行。结束后会等最后几句识别和翻译完成，把全部记录与录音存入「桌面/课程记录」，然后退出应用。"
                font.pixelSize: Theme.FontBody
                lineHeight: 1.2
                color: Theme.textSecondary
                wrapMode: Text.Wrap
            }
            RowLayout {
                Layout.topMargin: 4
                spacing: 10
                Item { Layout.fillWidth: true }
                ThemedButton {
                    objectName: "quitCancelButton"
                    text: "取消"
                    help: "继续上课，不退出（Esc）"
                    onClicked: root.quitControl.cancelQuit()
                }
                ThemedButton {
                    objectName: "quitConfirmButton"
                    prominent: true
                    tint: Theme.danger
                    symbol: "stop.circle.fill"
                    text: "结束并保存"
                    onClicked: root.quitControl.endCourseAndQuit()
                }
            }
        }
    }

    Shortcut {
        sequences: [StandardKey.Cancel]
        enabled: root.quitControl.isAskingToEndCourse
        onActivated: root.quitControl.cancelQuit()
    }
}
