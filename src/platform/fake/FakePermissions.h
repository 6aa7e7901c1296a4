#pragma once
// Permissions with settable states. Each request either answers at once (on
// the calling thread), or is held until the test answers it.
#include "platform/Permissions.h"

#include <vector>

namespace vox::fake {

class FakePermissions : public Permissions {
public:
    enum class Answer { Immediately, Never };

    AuthorizationState microphoneStatus() override { return microphone; }
    void requestMicrophone(std::function<void(bool)> done) override
    {
        microphoneRequests++;
        if (microphoneAnswer == Answer::Immediately) {
            if (microphone == AuthorizationState::NotDetermined)
                microphone = microphoneGrantOnRequest ? AuthorizationState::Authorized : AuthorizationState::Denied;
            done(microphone == AuthorizationState::Authorized);
        } else {
            pendingMicrophone.push_back(std::move(done));
        }
    }
    AuthorizationState speechStatus() override { return speech; }
    void requestSpeech(std::function<void(AuthorizationState)> done) override
    {
        speechRequests++;
        if (speechAnswer == Answer::Immediately) {
            if (speech == AuthorizationState::NotDetermined)
                speech = speechGrantOnRequest ? AuthorizationState::Authorized : AuthorizationState::Denied;
            done(speech);
        } else {
            pendingSpeech.push_back(std::move(done));
        }
    }

    // Answers every held request with the given outcome.
    void answerMicrophone(bool granted)
    {
        microphone = granted ? AuthorizationState::Authorized : AuthorizationState::Denied;
        auto pending = std::move(pendingMicrophone);
        pendingMicrophone.clear();
        for (auto &f : pending)
            f(granted);
    }
    void answerSpeech(AuthorizationState s)
    {
        speech = s;
        auto pending = std::move(pendingSpeech);
        pendingSpeech.clear();
        for (auto &f : pending)
            f(s);
    }

    AuthorizationState microphone = AuthorizationState::Authorized;
    AuthorizationState speech = AuthorizationState::Authorized;
    Answer microphoneAnswer = Answer::Immediately;
    Answer speechAnswer = Answer::Immediately;
    bool microphoneGrantOnRequest = true;
    bool speechGrantOnRequest = true;
    int microphoneRequests = 0;
    int speechRequests = 0;
    std::vector<std::function<void(bool)>> pendingMicrophone;
    std::vector<std::function<void(AuthorizationState)>> pendingSpeech;
};

} // namespace vox::fake
