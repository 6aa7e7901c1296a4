#include "DesktopFiles.h"


#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace vox::DesktopFiles {

Result<bool> makeFolder(const QString &folder)
{
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return true;
    return Error{QString::fromLatin1(kErrorDomain), 513,
                 QStringLiteral("未能创建文件夹“%1”。").arg(QFileInfo(folder).fileName())};
}

Result<bool> writeAtomically(const QString &path, const QString &text)
{
    const QString name = QFileInfo(path).fileName();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Error{QString::fromLatin1(kErrorDomain), 513,
                     QStringLiteral("未能存储文件“%1”。（%2）").arg(name, file.errorString())};
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return Error{QString::fromLatin1(kErrorDomain), 640,
                     QStringLiteral("未能存储文件“%1”。（%2）").arg(name, why)};
    }
    if (!file.commit())
        return Error{QString::fromLatin1(kErrorDomain), 512,
                     QStringLiteral("未能存储文件“%1”。（%2）").arg(name, file.errorString())};
    return true;
}

} // namespace vox::DesktopFiles
