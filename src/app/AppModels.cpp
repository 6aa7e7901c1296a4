#include "AppModels.h"

#include "platform/Platform.h"
#include "translation/LocalTranslationSession.h"

namespace vox {

AppModels createAppModels(const Platform &platform)
{
    AppModels m;
    m.permissions = std::make_unique<PermissionManager>(platform);
    m.deviceManager = std::make_unique<AudioDeviceManager>(platform);
    m.engine = std::make_unique<SpeechEngine>(platform);
    m.glossary = std::make_unique<GlossaryManager>();
    m.recognizer = std::make_unique<RecognizerModel>(*m.engine, platform);
    m.recognizer->loadStored();
    // The local translation service stands in for the on-device one: probe
    // it now, and again whenever the engine is idle without a session.
    m.startTranslationProbe = [](SpeechEngine &engine) {
        SpeechEngine *e = &engine;
        auto *probe = new LocalTranslationProbe(e);
        QObject::connect(probe, &LocalTranslationProbe::sessionReady, e,
                         [e](std::shared_ptr<TranslationSession> s) { e->setTranslationSession(std::move(s)); });
        QObject::connect(probe, &LocalTranslationProbe::probeFailed, e,
                         [e] { e->translationService()->localNotAnswering(localTranslationUrl()); });
        QObject::connect(e, &SpeechEngine::isRecordingChanged, probe, [e, probe] {
            if (!e->isRecording() && !e->translationSession() && !probe->isProbing())
                probe->start();
        });
        probe->start();
    };
    return m;
}

} // namespace vox
