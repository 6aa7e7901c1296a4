#include "BackgroundManager.h"

#include "platform/DesktopServices.h"
#include "platform/Diag.h"
#include "platform/Settings.h"
#include "platform/Time.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <cmath>

namespace vox {

namespace {
constexpr auto kDomain = "Background";

QImage decode(const QByteArray &data)
{
    QBuffer buf;
    buf.setData(data);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (size.isValid() && std::max(size.width(), size.height()) > BackgroundManager::kMaxImageSide)
        reader.setScaledSize(size.scaled(BackgroundManager::kMaxImageSide, BackgroundManager::kMaxImageSide,
                                         Qt::KeepAspectRatio));
    return reader.read();
}
} // namespace

BackgroundManager::BackgroundManager(DesktopServices *desktop, QObject *parent) : QObject(parent), m_desktop(desktop)
{
    loadSavedBackground();
}

QString BackgroundManager::picturesFolder() const
{
    return m_desktop ? m_desktop->picturesFolder() : QString();
}

QString BackgroundManager::storageFolder() const
{
    const QString base = m_desktop ? m_desktop->applicationDataFolder() : QString();
    if (base.isEmpty())
        return {};
    return QDir(base).filePath(QStringLiteral("Voxleaf/Backgrounds"));
}

void BackgroundManager::apply(QImage image, bool has)
{
    if (!has && !m_hasCustom && m_image.isNull())
        return;
    m_image = std::move(image);
    m_hasCustom = has;
    Q_EMIT backgroundChanged();
}

void BackgroundManager::loadSavedBackground()
{
    const QString key = QLatin1String(Keys::CustomBackgroundImagePath);
    if (settings().contains(key)) {
        const QString path = settings().string(key);
        QFile f(path);
        if (!path.isEmpty() && f.open(QIODevice::ReadOnly)) {
            QImage img = decode(f.readAll());
            if (!img.isNull()) {
                apply(std::move(img), true);
                return;
            }
        }
        diag(QStringLiteral("背景图片无法读取，改用主题背景：") + path);
    }
    apply(QImage(), false);
}

Result<QString> BackgroundManager::setBackground(const QByteArray &imageData)
{
    if (decode(imageData).isNull())
        return Error{QString::fromLatin1(kDomain), -2, QStringLiteral("所选文件不是可识别的图片。")};
    const QString folder = storageFolder();
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return Error{QString::fromLatin1(kDomain), -1, QStringLiteral("无法创建背景图片文件夹。")};
    const auto seconds = static_cast<long long>(std::floor(timeSource().now().toUnix()));
    const QString path = QDir(folder).filePath(QStringLiteral("background-%1.png").arg(seconds));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(imageData) != imageData.size()) {
        return Error{QString::fromLatin1(kDomain), -3, QStringLiteral("无法保存背景图片：") + f.errorString()};
    }
    f.close();
    settings().setValue(QLatin1String(Keys::CustomBackgroundImagePath), path);
    loadSavedBackground();
    return path;
}

void BackgroundManager::clearBackground()
{
    settings().remove(QLatin1String(Keys::CustomBackgroundImagePath));
    apply(QImage(), false);
}

bool BackgroundManager::setBackgroundFromFile(const QUrl &fileUrl)
{
    const QString path = fileUrl.isLocalFile() ? fileUrl.toLocalFile() : fileUrl.toString();
    QFile f(path);
    if (path.isEmpty() || !f.open(QIODevice::ReadOnly))
        return false;
    auto r = setBackground(f.readAll());
    if (!r)
        diag(QStringLiteral("更换背景失败：") + r.error().message);
    return r.ok();
}

} // namespace vox
