#pragma once
// The Linux platform: PulseAudio and Qt Multimedia for audio, libsoxr for
// conversion, libsndfile for files, PocketSphinx for recognition, XDG and
// D-Bus for the desktop, X11 window-manager hints.
#include "platform/Platform.h"

namespace vox {

Platform makeLinuxPlatform();

} // namespace vox
