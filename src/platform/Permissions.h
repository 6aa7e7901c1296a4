#pragma once
// Microphone and speech-recognition authorization.
#include "SpeechRecognizer.h"

#include <functional>

namespace vox {

class Permissions {
public:
    virtual ~Permissions() = default;
    virtual AuthorizationState microphoneStatus() = 0;
    // The callback may arrive on any thread.
    virtual void requestMicrophone(std::function<void(bool granted)> done) = 0;
    virtual AuthorizationState speechStatus() = 0;
    virtual void requestSpeech(std::function<void(AuthorizationState)> done) = 0;
};

} // namespace vox
