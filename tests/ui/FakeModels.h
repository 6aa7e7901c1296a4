#pragma once
// Small stand-ins for the window's models: the properties and methods the
// views use, with every call recorded. Writing a MEMBER property through
// setProperty() emits its change signal.
#include "course/CourseRecords.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <optional>
#include <vector>

namespace vox::test {

class FakeEngine : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString recognizedText MEMBER recognizedText NOTIFY recognizedTextChanged)
    Q_PROPERTY(bool isRecording MEMBER isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(float level MEMBER level NOTIFY levelChanged)
    Q_PROPERTY(bool audioActive MEMBER audioActive NOTIFY audioActiveChanged)
    Q_PROPERTY(QVariant lastError MEMBER lastError NOTIFY lastErrorChanged)
    Q_PROPERTY(QString translatedText MEMBER translatedText NOTIFY translatedTextChanged)
    Q_PROPERTY(bool isTranslating MEMBER isTranslating NOTIFY isTranslatingChanged)
    Q_PROPERTY(bool translationUnavailable MEMBER translationUnavailable NOTIFY translationUnavailableChanged)
    Q_PROPERTY(bool isTranslationEnabled MEMBER isTranslationEnabled NOTIFY isTranslationEnabledChanged)
    Q_PROPERTY(QString translationEngine MEMBER translationEngine NOTIFY translationEngineChanged)
    Q_PROPERTY(QVariant translationEntries READ entriesVariant NOTIFY translationEntriesChanged)
    Q_PROPERTY(double sessionDuration MEMBER sessionDuration NOTIFY sessionDurationChanged)
    Q_PROPERTY(bool isCourseActive MEMBER isCourseActive NOTIFY isCourseActiveChanged)
    Q_PROPERTY(bool isEndingCourse MEMBER isEndingCourse NOTIFY isEndingCourseChanged)
    Q_PROPERTY(int courseEntryCount MEMBER courseEntryCount NOTIFY courseEntryCountChanged)
    Q_PROPERTY(QString courseArchivePath MEMBER courseArchivePath NOTIFY courseArchivePathChanged)
    Q_PROPERTY(double courseDuration MEMBER courseDuration NOTIFY courseDurationChanged)
    Q_PROPERTY(QVariant completedCourse READ completedVariant NOTIFY completedCourseChanged)
    Q_PROPERTY(QStringList summaryPoints MEMBER summaryPoints NOTIFY summaryPointsChanged)
    Q_PROPERTY(bool isSummarizing MEMBER isSummarizing NOTIFY isSummarizingChanged)
public:
    QString recognizedText;
    bool isRecording = false;
    float level = 0;
    bool audioActive = false;
    QVariant lastError;
    QString translatedText;
    bool isTranslating = false;
    bool translationUnavailable = false;
    bool isTranslationEnabled = true;
    QString translationEngine = QStringLiteral("system");
    std::vector<TranslationEntry> entries;
    double sessionDuration = 0;
    bool isCourseActive = false;
    bool isEndingCourse = false;
    int courseEntryCount = 0;
    QString courseArchivePath;
    double courseDuration = 0;
    std::optional<CourseSession> completed;
    QStringList summaryPoints;
    bool isSummarizing = false;

    // "start:<id>", "stop", "startCourse", "endCourse", "endCourseNow", "generateSummary"
    QStringList calls;

    QVariant entriesVariant() const { return QVariant::fromValue(entries); }
    QVariant completedVariant() const { return completed ? QVariant::fromValue(*completed) : QVariant(); }

    void setEntries(std::vector<TranslationEntry> e)
    {
        entries = std::move(e);
        Q_EMIT translationEntriesChanged();
    }
    void setCompleted(std::optional<CourseSession> c)
    {
        completed = std::move(c);
        Q_EMIT completedCourseChanged();
    }

    Q_INVOKABLE void start(const QString &deviceID)
    {
        calls << QStringLiteral("start:") + deviceID;
        setProperty("isRecording", true);
    }
    Q_INVOKABLE void stop()
    {
        calls << QStringLiteral("stop");
        setProperty("isRecording", false);
    }
    Q_INVOKABLE void startCourse()
    {
        calls << QStringLiteral("startCourse");
        setProperty("isCourseActive", true);
    }
    // Ends at once (no sentence to wait for).
    Q_INVOKABLE void endCourse()
    {
        calls << QStringLiteral("endCourse");
        if (!isCourseActive)
            return;
        setProperty("isCourseActive", false);
        Q_EMIT courseEnded();
    }
    Q_INVOKABLE void endCourseNow()
    {
        calls << QStringLiteral("endCourseNow");
        setProperty("isCourseActive", false);
        setProperty("isEndingCourse", false);
        Q_EMIT courseEnded();
    }
    Q_INVOKABLE void generateSummary() { calls << QStringLiteral("generateSummary"); }

Q_SIGNALS:
    void recognizedTextChanged();
    void isRecordingChanged();
    void levelChanged();
    void audioActiveChanged();
    void lastErrorChanged();
    void translatedTextChanged();
    void isTranslatingChanged();
    void translationUnavailableChanged();
    void isTranslationEnabledChanged();
    void translationEngineChanged();
    void translationEntriesChanged();
    void sessionDurationChanged();
    void isCourseActiveChanged();
    void isEndingCourseChanged();
    void courseEntryCountChanged();
    void courseArchivePathChanged();
    void courseEnded();
    void courseDurationChanged();
    void completedCourseChanged();
    void summaryPointsChanged();
    void isSummarizingChanged();
};

class FakeDeviceManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList devices MEMBER devices NOTIFY devicesChanged)
    Q_PROPERTY(QString selectedDeviceID MEMBER selected NOTIFY selectedDeviceIDChanged)
public:
    QVariantList devices;
    QString selected;
    int refreshCount = 0;

    Q_INVOKABLE void refresh() { ++refreshCount; }

Q_SIGNALS:
    void devicesChanged();
    void selectedDeviceIDChanged();
};

// Statuses as the enumeration's values: 0 notDetermined, 1 denied,
// 2 restricted, 3 granted.
class FakePermissionManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(int microphoneStatus MEMBER microphoneStatus NOTIFY statusChanged)
    Q_PROPERTY(int speechStatus MEMBER speechStatus NOTIFY statusChanged)
    Q_PROPERTY(bool allGranted READ allGranted NOTIFY statusChanged)
    Q_PROPERTY(QString denialHint READ denialHint NOTIFY statusChanged)
public:
    int microphoneStatus = 3;
    int speechStatus = 3;
    int requests = 0;

    bool allGranted() const { return microphoneStatus == 3 && speechStatus == 3; }
    QString denialHint() const
    {
        return microphoneStatus == 1 ? QStringLiteral("麦克风权限被拒绝") : QString();
    }
    void set(int mic, int speech)
    {
        microphoneStatus = mic;
        speechStatus = speech;
        Q_EMIT statusChanged();
    }
    Q_INVOKABLE void requestAll() { ++requests; }
    void finishRequest(int mic, int speech)
    {
        set(mic, speech);
        Q_EMIT requestAllFinished();
    }

Q_SIGNALS:
    void statusChanged();
    void requestAllFinished();
};

} // namespace vox::test
