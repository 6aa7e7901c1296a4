#pragma once
// Desktop folders from QStandardPaths (XDG user directories); revealing a
// file through the freedesktop FileManager1 D-Bus interface, falling back to
// opening the folder that contains it; opening files with the desktop's
// default application.
#include "platform/DesktopServices.h"

#include <QStringList>

namespace vox {

class LinuxDesktopServices final : public DesktopServices {
public:
    std::optional<QString> desktopFolder() override;
    QString applicationDataFolder() override;
    QString picturesFolder() override;
    bool revealInFileBrowser(const QString &path) override;
    bool openWithDefaultApplication(const QString &path) override;

    // The D-Bus arguments of org.freedesktop.FileManager1.ShowItems for a
    // path: the file's URL list and an empty startup id.
    static QStringList showItemsUris(const QString &path);
};

} // namespace vox
