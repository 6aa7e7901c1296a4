import QtQuick
import Voxleaf

// A named symbol at a point size.
SymbolIcon {
    property real size: 16
    width: size
    height: size
    color: Theme.textPrimary
}
