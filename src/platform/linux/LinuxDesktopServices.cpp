#include "LinuxDesktopServices.h"

#include "platform/Diag.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace vox {

std::optional<QString> LinuxDesktopServices::desktopFolder()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

QString LinuxDesktopServices::applicationDataFolder()
{
    // The generic data home (~/.local/share); callers add "Voxleaf/...".
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString LinuxDesktopServices::picturesFolder()
{
    const QString path = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return path.isEmpty() ? QDir::homePath() : path;
}

QStringList LinuxDesktopServices::showItemsUris(const QString &path)
{
    return {QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)};
}

bool LinuxDesktopServices::revealInFileBrowser(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
            QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
        call << showItemsUris(path) << QString();
        const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        diag(QStringLiteral("FileManager1.ShowItems 失败: ") + reply.errorMessage());
    }
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

bool LinuxDesktopServices::openWithDefaultApplication(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

} // namespace vox
