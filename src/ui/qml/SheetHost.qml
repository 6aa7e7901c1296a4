import QtQuick
import QtQuick.Window
import Voxleaf

// A modal sheet over the main window: a fixed-size window on the theme's
// panel background holding the view file `source` while `shown` is true.
// The view may declare `signal dismiss()` (closes the sheet) and
// `property var host` (receives the ContentView).
Item {
    id: sheet
    property bool shown: false
    property url source
    property int sheetWidth: 500
    property int sheetHeight: 560
    property string title: ""
    property var host: null
    // The window it stands over (a QQuickWindow: the main window or another sheet).
    property var parentWindow: null
    readonly property var window: instantiator.object
    signal closed()

    visible: false

    Instantiator {
        id: instantiator
        active: sheet.shown
        delegate: Window {
            id: win
            objectName: "sheetWindow"
            title: sheet.title
            transientParent: sheet.parentWindow
            modality: Qt.WindowModal
            flags: Qt.Dialog
            width: sheet.sheetWidth
            height: sheet.sheetHeight
            minimumWidth: sheet.sheetWidth
            maximumWidth: sheet.sheetWidth
            minimumHeight: sheet.sheetHeight
            maximumHeight: sheet.sheetHeight
            color: Theme.panelBackground
            visible: true
            onClosing: sheet.closed()

            Loader {
                id: content
                anchors.fill: parent
                source: sheet.source
                onLoaded: {
                    if (item.dismiss)
                        item.dismiss.connect(sheet.closed)
                    if ("host" in item)
                        item.host = sheet.host
                }
                onStatusChanged: if (status === Loader.Error) sheet.closed()
            }
        }
    }
}
