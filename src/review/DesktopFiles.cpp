#include "DesktopFiles.h"

#include "platform/Files.h"

#include <QDir>
#include <QFileInfo>

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
    return Files::writeAtomically(path, text.toUtf8());
}

} // namespace vox::DesktopFiles
