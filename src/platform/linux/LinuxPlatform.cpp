#include "LinuxPlatform.h"

#include "LinuxDesktopServices.h"
#include "LinuxPermissions.h"
#include "PocketSphinxRecognizer.h"
#include "PulseHardwareAudio.h"
#include "QtAudioEngine.h"
#include "QtCaptureDevices.h"
#include "SinkAudioPlayer.h"
#include "SndfileAudioFiles.h"
#include "SoxrConverter.h"
#include "X11WindowHints.h"

#ifdef VOX_HAVE_WHISPER
#include "platform/whisper/WhisperDecoder.h"
#endif

namespace vox {

Platform makeLinuxPlatform()
{
    Platform p;
    p.recognizer = makePocketSphinxRecognizer();
    p.permissions = std::make_shared<LinuxPermissions>();
    p.audioEngines = std::make_shared<QtAudioEngineFactory>();
    p.captureDevices = std::make_shared<QtCaptureDevices>();
    p.hardware = std::make_shared<PulseHardwareAudio>();
    p.converters = std::make_shared<SoxrConverterFactory>();
    p.audioFiles = std::make_shared<SndfileAudioFiles>();
    p.players = std::make_shared<SinkAudioPlayerFactory>();
    p.desktop = std::make_shared<LinuxDesktopServices>();
    p.windowHints = std::make_shared<X11WindowHints>();
#ifdef VOX_HAVE_WHISPER
    p.sentenceDecoders = makeWhisperLoader();
#endif
    return p;
}

} // namespace vox
