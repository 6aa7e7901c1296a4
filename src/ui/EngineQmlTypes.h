#pragma once
// The engine-side types the views hold, known to QML from here: the
// libraries below the windows stay free of QML. None of them is made by a
// view; they come from App (or the models that hand them out).
#include "engine/AudioDeviceManager.h"
#include "engine/PermissionManager.h"
#include "engine/RecognizerModel.h"
#include "engine/SpeechEngine.h"
#include "glossary/GlossaryManager.h"
#include "review/CourseReviewModel.h"

#include <QObject>
#include <QtQml/qqmlregistration.h>

namespace vox::qmltypes {

struct SpeechEngineType {
    Q_GADGET
    QML_FOREIGN(vox::SpeechEngine)
    QML_NAMED_ELEMENT(SpeechEngine)
    QML_UNCREATABLE("App.engine")
};

struct GlossaryManagerType {
    Q_GADGET
    QML_FOREIGN(vox::GlossaryManager)
    QML_NAMED_ELEMENT(GlossaryManager)
    QML_UNCREATABLE("App.glossary")
};

struct PermissionManagerType {
    Q_GADGET
    QML_FOREIGN(vox::PermissionManager)
    QML_NAMED_ELEMENT(PermissionManager)
    QML_UNCREATABLE("App.permissions")
};

struct AudioDeviceManagerType {
    Q_GADGET
    QML_FOREIGN(vox::AudioDeviceManager)
    QML_NAMED_ELEMENT(AudioDeviceManager)
    QML_UNCREATABLE("App.deviceManager")
};

struct AudioDeviceListType {
    Q_GADGET
    QML_FOREIGN(vox::AudioDeviceList)
    QML_NAMED_ELEMENT(AudioDeviceList)
    QML_UNCREATABLE("App.devices")
};

struct RecognizerModelType {
    Q_GADGET
    QML_FOREIGN(vox::RecognizerModel)
    QML_NAMED_ELEMENT(RecognizerModel)
    QML_UNCREATABLE("App.recognizer")
};

// Its states are compared by name (CourseReviewModel.ReviewState.Done).
struct CourseReviewModelType {
    Q_GADGET
    QML_FOREIGN(vox::CourseReviewModel)
    QML_NAMED_ELEMENT(CourseReviewModel)
    QML_UNCREATABLE("CoursePlaybackModel.review")
};

} // namespace vox::qmltypes
