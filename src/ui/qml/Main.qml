import QtQuick
import QtQuick.Window

Window {
    id: root
    width: 720
    height: 560
    minimumWidth: 560
    minimumHeight: 440
    visible: true
    title: "实时语音翻译"

    Text {
        anchors.centerIn: parent
        text: "实时语音翻译"
        font.pixelSize: 24
    }
}
