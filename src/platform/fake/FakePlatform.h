#pragma once
// A whole platform of fakes with typed access for tests: one microphone
// ("mic-48k", 48 kHz stereo) and a built-in default input, every permission
// granted, the Desktop and application-data folders inside a temporary
// directory. install() makes it the process-wide platform.
#include "FakeAudio.h"
#include "FakeDesktopServices.h"
#include "FakePermissions.h"
#include "FakeSpeechRecognizer.h"
#include "FakeWindowHints.h"
#include "platform/Platform.h"

#include <QTemporaryDir>

namespace vox::fake {

class FakePlatform {
public:
    FakePlatform();
    ~FakePlatform();

    Platform platform() const;
    // Installs it as vox::platform(); the destructor restores an empty one.
    void install();

    QString desktopPath() const;
    QString appDataPath() const;

    std::shared_ptr<FakeSpeechRecognizer> recognizer;
    std::shared_ptr<FakePermissions> permissions;
    std::shared_ptr<FakeAudioEngineFactory> audioEngines;
    std::shared_ptr<FakeCaptureDevices> captureDevices;
    std::shared_ptr<FakeHardwareAudio> hardware;
    std::shared_ptr<FakeAudioConverterFactory> converters;
    std::shared_ptr<FakeAudioFiles> audioFiles;
    std::shared_ptr<FakeAudioPlayerFactory> players;
    std::shared_ptr<FakeDesktopServices> desktop;
    std::shared_ptr<FakeWindowHints> windowHints;

    // Ids in the fake hardware table.
    static constexpr AudioObjectID kBuiltInID = 40;
    static constexpr AudioObjectID kMicID = 41;
    static constexpr AudioObjectID kSpeakerID = 42; // output only

private:
    QTemporaryDir m_dir;
    bool m_installed = false;
};

} // namespace vox::fake
