import QtQuick
import QtQuick.Window
import VoxleafNative 1.0

// The main window: the theme background under either the permission view or
// the main view, switched live by the permission state.
Window {
    id: root
    objectName: "mainWindow"
    width: 760
    height: 640
    minimumWidth: 560
    minimumHeight: 440
    visible: true
    title: "实时语音翻译"
    color: app.theme.panelBackground

    AppBackground {
        id: background
        objectName: "appBackground"
        anchors.fill: parent
        background: app.background
        themeName: app.settings.themeName
    }

    Loader {
        id: gate
        objectName: "permissionGate"
        anchors.fill: parent
        sourceComponent: app.allGranted ? mainView : permissionView
    }

    Component {
        id: mainView
        ContentView {}
    }

    Component {
        id: permissionView
        PermissionView {}
    }
}
