#pragma once
// The system default input while a session has switched it to the chosen
// microphone: the previous default is remembered in memory and in a note on
// disk, and put back when the session ends. A note left by a process that
// died while switched is honoured by the next one, before it remembers
// anything of its own.
#include "platform/Platform.h"

#include <QString>

namespace vox {

class DefaultInputSwitch {
public:
    explicit DefaultInputSwitch(Platform platform);

    // Puts back the default a dead process left switched, if any.
    void restoreLeftOver();
    // Remembers the current default, then makes `id` the default.
    Result<bool> switchTo(AudioObjectID id);
    // Puts the remembered default back and forgets it.
    void restore();

    // The default before the switch; 0 when nothing is switched.
    AudioObjectID previousID() const { return m_previous; }
    // The note on disk, empty when there is no application data folder.
    QString notePath() const;

private:
    void remember(AudioObjectID id);

    Platform m_platform;
    AudioObjectID m_previous = 0;
};

// For the log: 0 for success, otherwise the hardware layer's error code.
int statusOf(const Result<bool> &r);

} // namespace vox
