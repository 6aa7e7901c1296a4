import QtQuick
import VoxleafNative 1.0

// A named symbol at a point size.
SymbolIcon {
    property real size: 16
    width: size
    height: size
    color: app.theme.textPrimary
}
