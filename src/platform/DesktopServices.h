#pragma once
// Desktop folders and file-browser services.
#include <QString>
#include <optional>

namespace vox {

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // The user's Desktop folder; none when there is no such folder.
    virtual std::optional<QString> desktopFolder() = 0;
    // The per-user application data folder (XDG data home).
    virtual QString applicationDataFolder() = 0;
    virtual QString picturesFolder() = 0;
    // Shows the file selected in the file browser (or its folder).
    virtual bool revealInFileBrowser(const QString &path) = 0;
    virtual bool openWithDefaultApplication(const QString &path) = 0;
};

} // namespace vox
