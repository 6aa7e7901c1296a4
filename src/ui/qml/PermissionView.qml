import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// Shown while microphone or speech permission is missing.
Item {
    id: view
    objectName: "permissionView"

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 460)
        spacing: 14

        Symbol {
            Layout.alignment: Qt.AlignHCenter
            name: "mic.fill.badge.plus"
            size: 44
            color: Theme.primary
        }
        Text {
            objectName: "permissionTitle"
            Layout.alignment: Qt.AlignHCenter
            text: "需要麦克风与语音识别权限"
            font.pixelSize: Theme.FontDisplay
            font.bold: true
            color: Theme.textPrimary
        }
        Text {
            objectName: "permissionExplanation"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: "本应用完全在本地处理语音：\n识别您的英语发音并实时转换为文字。"
            font.pixelSize: Theme.FontCallout
            lineHeight: 1.2
            color: Theme.textSecondary
            wrapMode: Text.Wrap
        }
        Text {
            objectName: "denialHint"
            visible: App.denialHint.length > 0
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: App.denialHint
            font.pixelSize: Theme.FontFootnote
            color: Theme.primary
            wrapMode: Text.Wrap
        }
        ThemedButton {
            id: button
            objectName: "permissionButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 6
            prominent: true
            tint: Theme.primary
            fontSize: Theme.FontCallout
            busy: App.isRequestingPermissions
            enabled: !App.isRequestingPermissions
            text: App.isRequestingPermissions ? "" : (App.anyPermissionDenied ? "已打开系统设置后，点此重试" : "授权并继续")
            implicitWidth: App.isRequestingPermissions ? 90 : contentItem.implicitWidth + leftPadding + rightPadding
            onClicked: App.requestPermissions()
        }
    }
}
