#pragma once
// Desktop services over folders a test chooses; records what was revealed
// and opened.
#include "platform/DesktopServices.h"

#include <QStringList>

namespace vox::fake {

class FakeDesktopServices : public DesktopServices {
public:
    // An empty desktop means "no Desktop folder".
    explicit FakeDesktopServices(QString desktop = {}, QString appData = {}, QString pictures = {})
        : m_desktop(std::move(desktop)), m_appData(std::move(appData)), m_pictures(std::move(pictures)) {}

    std::optional<QString> desktopFolder() override
    {
        if (m_desktop.isEmpty())
            return std::nullopt;
        return m_desktop;
    }
    QString applicationDataFolder() override { return m_appData; }
    QString picturesFolder() override { return m_pictures; }
    bool revealInFileBrowser(const QString &path) override
    {
        revealed.append(path);
        return true;
    }
    bool openWithDefaultApplication(const QString &path) override
    {
        opened.append(path);
        return true;
    }

    void setDesktop(QString d) { m_desktop = std::move(d); }

    QStringList revealed;
    QStringList opened;

private:
    QString m_desktop, m_appData, m_pictures;
};

} // namespace vox::fake
