// Desktop services: XDG folders and the file-browser call's arguments.
#include "platform/linux/LinuxDesktopServices.h"

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace vox;

TEST(LinuxDesktopServices, FoldersComeFromTheXdgLocationsAndRevealNeedsAnExistingFile)
{
    LinuxDesktopServices s;
    EXPECT_EQ(s.desktopFolder(), QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));

    // Spaces and Chinese are percent-encoded in the file URL handed over D-Bus.
    const QStringList uris =
        LinuxDesktopServices::showItemsUris(QStringLiteral("/tmp/课程记录/2026-01-02 10-00-00 课堂记录.html"));
    ASSERT_EQ(uris.size(), 1);
    EXPECT_TRUE(uris[0].startsWith(QLatin1String("file:///tmp/%E8%AF%BE")) && uris[0].contains(QLatin1String("10-00-00%20")));
    EXPECT_EQ(QUrl(uris[0]).toLocalFile(), QStringLiteral("/tmp/课程记录/2026-01-02 10-00-00 课堂记录.html"));

    QTemporaryDir dir;
    EXPECT_FALSE(s.revealInFileBrowser(dir.filePath(QStringLiteral("missing.html"))));
    EXPECT_FALSE(s.openWithDefaultApplication(dir.filePath(QStringLiteral("missing.html"))));
}
