#pragma once
// The headless tool's commands. Each returns the process exit code.
#include <QString>
#include <QStringList>

namespace vox::cli {

struct RunOptions {
    QString file;          // transcribe: the audio file
    QString deviceID;      // listen: the capture device (empty: the default)
    bool live = false;     // listen instead of transcribe
    QString engine = QStringLiteral("system");
    bool translate = true;
    bool course = false;
    QString srtPath;
    QString vttPath;
    bool json = false;
    bool realtime = false;
    // A Whisper model (ggml file) that decodes every sentence again; empty:
    // the live recognizer's text as it is.
    QString model;
};

int runTranscription(const RunOptions &options);
int listDevices();
int showHistory(const QString &keyword);
int exportSubtitles(const QString &archive, const QString &format, const QString &path);
int reviewCourse(const QString &archive);

} // namespace vox::cli
