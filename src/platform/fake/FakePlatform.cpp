#include "FakePlatform.h"

#include <QDir>

namespace vox::fake {

FakePlatform::FakePlatform()
    : recognizer(std::make_shared<FakeSpeechRecognizer>()),
      permissions(std::make_shared<FakePermissions>()),
      audioEngines(std::make_shared<FakeAudioEngineFactory>()),
      captureDevices(std::make_shared<FakeCaptureDevices>()),
      hardware(std::make_shared<FakeHardwareAudio>()),
      converters(std::make_shared<FakeAudioConverterFactory>()),
      audioFiles(std::make_shared<FakeAudioFiles>()),
      players(std::make_shared<FakeAudioPlayerFactory>()),
      windowHints(std::make_shared<FakeWindowHints>())
{
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("Desktop"));
    root.mkpath(QStringLiteral("AppData"));
    root.mkpath(QStringLiteral("Pictures"));
    desktop = std::make_shared<FakeDesktopServices>(root.filePath(QStringLiteral("Desktop")),
                                                    root.filePath(QStringLiteral("AppData")),
                                                    root.filePath(QStringLiteral("Pictures")));

    captureDevices->devices = {
        CaptureDevice{QStringLiteral("builtin-uid"), QStringLiteral("内置麦克风"), true, false},
        CaptureDevice{QStringLiteral("mic-48k"), QStringLiteral("Test Mic 48k"), true, false},
    };
    captureDevices->defaultID = QStringLiteral("builtin-uid");
    hardware->devices = {
        FakeHardwareAudio::Device{kBuiltInID, QStringLiteral("builtin-uid"), QStringLiteral("内置麦克风"), 1},
        FakeHardwareAudio::Device{kMicID, QStringLiteral("mic-48k"), QStringLiteral("Test Mic 48k"), 1},
        FakeHardwareAudio::Device{kSpeakerID, QStringLiteral("speaker-uid"), QStringLiteral("扬声器"), 0},
    };
    hardware->defaultInput = kBuiltInID;
}

FakePlatform::~FakePlatform()
{
    if (m_installed)
        setPlatform(Platform{});
}

Platform FakePlatform::platform() const
{
    Platform p;
    p.recognizer = recognizer;
    p.permissions = permissions;
    p.audioEngines = audioEngines;
    p.captureDevices = captureDevices;
    p.hardware = hardware;
    p.converters = converters;
    p.audioFiles = audioFiles;
    p.players = players;
    p.desktop = desktop;
    p.windowHints = windowHints;
    return p;
}

void FakePlatform::install()
{
    setPlatform(platform());
    m_installed = true;
}

QString FakePlatform::desktopPath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("Desktop"));
}

QString FakePlatform::appDataPath() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("AppData"));
}

} // namespace vox::fake
