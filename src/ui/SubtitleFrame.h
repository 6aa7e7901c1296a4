#pragma once
// The floating window's frame in its stored text form "{{x, y}, {w, h}}",
// in screen coordinates with the origin at the bottom left of the primary
// screen (Qt's own origin is the top left).
#include <QRectF>
#include <QString>

namespace vox::ui {

QString frameToText(const QRectF &bottomLeftRect);
// A text that does not parse yields a zero rectangle.
QRectF frameFromText(const QString &text);
// Qt's top-left window geometry ↔ bottom-left frame, given the height of the
// primary screen's full area.
QRectF toBottomLeft(const QRectF &topLeftGeometry, double primaryScreenHeight);
QRectF toTopLeft(const QRectF &bottomLeftFrame, double primaryScreenHeight);

} // namespace vox::ui
