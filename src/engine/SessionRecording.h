#pragma once
// The recording of the capture session. Outside a course each session writes
// a file of its own, named by its start and never over an earlier one, and
// closes it when it stops (an empty one is removed). Inside a course every
// session appends to the course's one file, which stays open until the course
// ends, so that every sentence's audio time points into that file.
#include "engine/LiveCourse.h"
#include "platform/Platform.h"

#include <QString>
#include <memory>
#include <optional>

namespace vox {

class AudioForwarder;
class AudioFileWriter;

class SessionRecording {
public:
    explicit SessionRecording(Platform platform);

    // Desktop/课程记录/课堂录音/<start> 课堂录音.caf (the folder is created),
    // or none when there is no Desktop folder.
    std::optional<QString> pathFor(const Date &start) const;

    // A session starts: opens a file named by `start` (or, in `course`,
    // continues the course's file) and hands it to `forwarder`. Returns what
    // to tell the user when no file could be made; the session goes on.
    std::optional<QString> open(AudioForwarder &forwarder, const Date &start, LiveCourse *course);
    // The session stopped: its own file is closed; a course's stays open.
    void sessionStopped();
    // A course starts while a session records: that file becomes the course's.
    void adopt(LiveCourse &course);
    // The course ends: its file is closed, and removed (and dropped from the
    // course) when nothing was recorded.
    void courseEnded(LiveCourse *course);

    // Seconds recorded into the session's file (0 without one).
    double position(const AudioForwarder *forwarder) const;
    const std::optional<QString> &current() const { return m_current; }
    const std::optional<QString> &last() const { return m_last; }

private:
    Platform m_platform;
    std::shared_ptr<AudioFileWriter> m_file;
    std::optional<QString> m_current;
    std::optional<QString> m_last;
    std::shared_ptr<AudioFileWriter> m_courseFile;
    QString m_coursePath;
};

} // namespace vox
