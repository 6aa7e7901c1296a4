#pragma once
// Capture-device discovery through Qt Multimedia. A device's unique id is its
// PulseAudio source name. Qt 6.4 reports the first device as the default
// input, so the default is read from PulseAudio and matched by name.
#include "platform/AudioInput.h"

namespace vox {

class QtCaptureDevices final : public CaptureDevices {
public:
    std::vector<CaptureDevice> discover() override;
    std::optional<CaptureDevice> defaultDevice() override;
    std::optional<CaptureDevice> device(const QString &uniqueID) override;
    void watch(QObject *context, std::function<void()> handler) override;
};

} // namespace vox
