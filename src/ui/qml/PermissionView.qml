import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts

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
            color: app.theme.primary
        }
        Text {
            objectName: "permissionTitle"
            Layout.alignment: Qt.AlignHCenter
            text: "需要麦克风与语音识别权限"
            font.pixelSize: 20
            font.bold: true
            color: app.theme.textPrimary
        }
        Text {
            objectName: "permissionExplanation"
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: "本应用完全在本地处理语音：\n识别您的英语发音并实时转换为文字。"
            font.pixelSize: 14
            lineHeight: 1.2
            color: app.theme.textSecondary
            wrapMode: Text.Wrap
        }
        Text {
            objectName: "denialHint"
            visible: app.denialHint.length > 0
            Layout.fillWidth: true
            horizontalAlignment: Text.AlignHCenter
            text: app.denialHint
            font.pixelSize: 12
            color: app.theme.primary
            wrapMode: Text.Wrap
        }
        ThemedButton {
            id: button
            objectName: "permissionButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 6
            prominent: true
            tint: app.theme.primary
            fontSize: 14
            busy: app.isRequestingPermissions
            enabled: !app.isRequestingPermissions
            text: app.isRequestingPermissions ? "" : (app.anyPermissionDenied ? "已打开系统设置后，点此重试" : "授权并继续")
            implicitWidth: app.isRequestingPermissions ? 90 : contentItem.implicitWidth + leftPadding + rightPadding
            onClicked: app.requestPermissions()
        }
    }
}
