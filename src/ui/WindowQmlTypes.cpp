#include "WindowQmlTypes.h"

#include "CoursePlaybackModel.h"
#include "FloatingSubtitleController.h"
#include "HistoryModel.h"
#include "RecognizerSettingsModel.h"
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
    qmlRegisterType<RecognizerSettingsModel>(uri, 1, 0, "RecognizerSettingsModel");
    qmlRegisterUncreatableType<RecognizerModel>(uri, 1, 0, "RecognizerModel", QStringLiteral("from app"));
    qmlRegisterType<CoursePlaybackModel>(uri, 1, 0, "CoursePlaybackModel");
    qmlRegisterUncreatableType<FloatingSubtitleController>(uri, 1, 0, "FloatingSubtitleController",
                                                           QStringLiteral("owned by the main window"));
}

} // namespace vox
