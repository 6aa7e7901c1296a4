#pragma once
// The user's background picture: kept under the application-data folder
// ("Voxleaf/Backgrounds") and remembered in "customBackgroundImagePath".
#include "platform/Error.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

namespace vox {

class DesktopServices;

class BackgroundManager : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("App.background")
    Q_PROPERTY(bool hasCustomBackground READ hasCustomBackground NOTIFY backgroundChanged)
    Q_PROPERTY(QImage backgroundImage READ backgroundImage NOTIFY backgroundChanged)
    Q_PROPERTY(QString picturesFolder READ picturesFolder CONSTANT)
public:
    // Pictures larger than this on their long side are scaled down once
    // loaded; a background never needs more and a huge photo would cost
    // hundreds of megabytes.
    static constexpr int kMaxImageSide = 4096;

    // `desktop` may be null (no application-data folder: every save fails).
    explicit BackgroundManager(DesktopServices *desktop, QObject *parent = nullptr);

    bool hasCustomBackground() const { return m_hasCustom; }
    QImage backgroundImage() const { return m_image; }
    QString picturesFolder() const;
    // Application-data folder / "Voxleaf" / "Backgrounds"; empty when unknown.
    QString storageFolder() const;

    void loadSavedBackground();
    // Stores the picture's bytes unchanged and shows it; returns its path.
    // Bytes that do not decode as an image are refused before anything is
    // written, so the current background stays.
    Result<QString> setBackground(const QByteArray &imageData);
    Q_INVOKABLE void clearBackground();

    // The pickers: read the chosen file and set it; failures are silent.
    Q_INVOKABLE bool setBackgroundFromFile(const QUrl &fileUrl);

Q_SIGNALS:
    void backgroundChanged();

private:
    void apply(QImage image, bool has);
    DesktopServices *m_desktop;
    QImage m_image;
    bool m_hasCustom = false;
};

} // namespace vox
