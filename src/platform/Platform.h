#pragma once
// Every platform service the libraries use, gathered in one place. The
// application fills it with the Linux implementations, tests with fakes.
#include "AudioFile.h"
#include "AudioInput.h"
#include "AudioPlayer.h"
#include "DesktopServices.h"
#include "Permissions.h"
#include "SentenceDecoder.h"
#include "SpeechRecognizer.h"
#include "WindowHints.h"

#include <memory>

namespace vox {

struct Platform {
    std::shared_ptr<SpeechRecognizer> recognizer;
    std::shared_ptr<Permissions> permissions;
    std::shared_ptr<AudioEngineFactory> audioEngines;
    std::shared_ptr<CaptureDevices> captureDevices;
    std::shared_ptr<HardwareAudio> hardware;
    std::shared_ptr<AudioConverterFactory> converters;
    std::shared_ptr<AudioFiles> audioFiles;
    std::shared_ptr<AudioPlayerFactory> players;
    std::shared_ptr<DesktopServices> desktop;
    std::shared_ptr<WindowHints> windowHints;
    // Absent when the build has no second recognizer.
    std::shared_ptr<SentenceDecoderLoader> sentenceDecoders;
};

// The process-wide platform; set once at start-up (or by a test).
Platform &platform();
void setPlatform(Platform p);

} // namespace vox
