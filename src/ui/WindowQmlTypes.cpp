#include "WindowQmlTypes.h"

#include "CoursePlaybackModel.h"
#include "FloatingSubtitleController.h"
#include "HistoryModel.h"
#include "TranslationSettingsModel.h"

#include <QtQml>

namespace vox {

void registerWindowQmlTypes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    constexpr auto uri = "VoxleafNative";
    qmlRegisterType<TranslationSettingsModel>(uri, 1, 0, "TranslationSettingsModel");
    qmlRegisterType<HistoryModel>(uri, 1, 0, "HistoryModel");
    qmlRegisterType<CoursePlaybackModel>(uri, 1, 0, "CoursePlaybackModel");
    qmlRegisterUncreatableType<FloatingSubtitleController>(uri, 1, 0, "FloatingSubtitleController",
                                                           QStringLiteral("owned by the main window"));
}

} // namespace vox
