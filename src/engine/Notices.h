#pragma once
// The warnings the main window shows in its one error line, each kept with
// the cause it stands for, so that it goes away when that cause ends (the
// key is saved, the server answers again, the microphone is back) instead of
// staying until something else is said. The line shows the newest warning
// whose cause is still there. Main thread only.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace vox {

enum class NoticeCause {
    General,            // no cause that ends by itself: cleared by the next start
    Start,              // a start that failed
    NoAudio,            // the capture delivers nothing
    NoText,             // audio arrives, but no words are recognized
    Capture,            // the microphone went away
    Recognition,        // the recognizer failed or is restarting
    Recording,          // the recording file cannot be written
    Course,             // the course file cannot be written
    Translation,        // translating failed (server, language pack, session)
    DeepSeek,           // the online service failed, the local one stood in
    TranslationApiKey,  // online translation chosen without a key
    Summary,            // a key-point request failed
    SummaryApiKey,      // key points need a key
};

class Notices {
public:
    explicit Notices(std::function<void()> changed) : m_changed(std::move(changed)) {}

    // Shows `text` for `cause`, replacing what that cause said before.
    void raise(NoticeCause cause, const QString &text);
    // The cause has ended: its warning goes.
    void settle(NoticeCause cause);
    // The cause has ended only if it still says `text`.
    void settle(NoticeCause cause, const QString &text);
    // Every warning of these causes goes.
    void settle(std::initializer_list<NoticeCause> causes);
    void clear();

    bool isRaised(NoticeCause cause) const;
    // The newest warning still standing.
    const std::optional<QString> &current() const { return m_current; }

private:
    struct Notice {
        NoticeCause cause;
        QString text;
    };
    void publish();

    std::function<void()> m_changed;
    std::vector<Notice> m_active; // oldest first
    std::optional<QString> m_current;
};

} // namespace vox
