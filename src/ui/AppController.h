#pragma once
// The main window's view-model: owns the model objects for the window's
// whole life and holds the window's operations (record, course,
// permissions, backgrounds, termination), so the QML views only bind and
// forward clicks.
#include "BackgroundManager.h"
#include "FloatingSubtitleController.h"
#include "QuitController.h"
#include "UiSettings.h"
#include "course/CourseRecords.h"
#include "engine/AudioDeviceManager.h"
#include "engine/PermissionManager.h"
#include "engine/RecognizerModel.h"
#include "engine/SpeechEngine.h"
#include "glossary/GlossaryManager.h"

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <memory>

class QJSEngine;
class QQmlEngine;

namespace vox {

// What the main window owns besides its own view objects.
struct AppModels {
    std::unique_ptr<PermissionManager> permissions;
    std::unique_ptr<AudioDeviceManager> deviceManager;
    std::unique_ptr<SpeechEngine> engine;
    std::unique_ptr<GlossaryManager> glossary;
    // The model that decodes finished sentences again (none in tests that
    // leave it out).
    std::unique_ptr<RecognizerModel> recognizer;
    // Starts the local translation service probe that gives the engine its
    // "system" translation session (none in tests that hand in their own).
    std::function<void(SpeechEngine &engine)> startTranslationProbe;
};

// QML reads it as the singleton App: the one controller exposed to its
// engine (see exposeTo()).
class AppController : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(App)
    QML_SINGLETON
    Q_PROPERTY(vox::PermissionManager *permissions READ permissions CONSTANT)
    Q_PROPERTY(vox::AudioDeviceManager *deviceManager READ deviceManager CONSTANT)
    Q_PROPERTY(vox::SpeechEngine *engine READ engine CONSTANT)
    Q_PROPERTY(vox::GlossaryManager *glossary READ glossary CONSTANT)
    Q_PROPERTY(vox::RecognizerModel *recognizer READ recognizer CONSTANT)
    Q_PROPERTY(vox::BackgroundManager *background READ background CONSTANT)
    Q_PROPERTY(vox::UiSettings *settings READ uiSettings CONSTANT)

    // Permission gate.
    Q_PROPERTY(bool allGranted READ allGranted NOTIFY permissionsChanged)
    Q_PROPERTY(bool anyPermissionDenied READ anyPermissionDenied NOTIFY permissionsChanged)
    Q_PROPERTY(QString denialHint READ denialHint NOTIFY permissionsChanged)
    Q_PROPERTY(bool isRequestingPermissions READ isRequestingPermissions NOTIFY isRequestingPermissionsChanged)

    // The microphones (rows "id", "name") and the selection ("" = none).
    Q_PROPERTY(vox::AudioDeviceList *devices READ devices CONSTANT)
    Q_PROPERTY(QString selectedDeviceID READ selectedDeviceID WRITE setSelectedDeviceID NOTIFY selectedDeviceChanged)

    // Engine values in the shapes the views show.
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY engineStateChanged)
    Q_PROPERTY(bool isCourseActive READ isCourseActive NOTIFY engineStateChanged)
    // The course has ended and waits for its last sentences and its file.
    Q_PROPERTY(bool isEndingCourse READ isEndingCourse NOTIFY engineStateChanged)
    // "正在保存本节课…", with what follows when the application quits after it.
    Q_PROPERTY(QString courseSavingText READ courseSavingText NOTIFY courseSavingTextChanged)
    Q_PROPERTY(QString sessionDurationText READ sessionDurationText NOTIFY durationsChanged)
    Q_PROPERTY(QString courseDurationText READ courseDurationText NOTIFY durationsChanged)
    Q_PROPERTY(int translationCount READ translationCount NOTIFY translationsChanged)
    // Sentences kept by the running course (not those from before it).
    Q_PROPERTY(int courseEntryCount READ courseEntryCount NOTIFY courseEntryCountChanged)
    // The newest entries (as many as the visible-count setting), newest first.
    Q_PROPERTY(vox::LatestEntriesModel *recentTranslations READ recentTranslations CONSTANT)
    Q_PROPERTY(bool hasCompletedCourse READ hasCompletedCourse NOTIFY completedCourseChanged)
    Q_PROPERTY(int completedCourseEntryCount READ completedCourseEntryCount NOTIFY completedCourseChanged)
    Q_PROPERTY(QStringList summaryPoints READ summaryPoints NOTIFY summaryPointsChanged)
    Q_PROPERTY(QString lastError READ lastError NOTIFY lastErrorChanged)

    // Courses a process that is gone left in progress, finished at this start.
    Q_PROPERTY(bool hasRecoveredCourse READ hasRecoveredCourse NOTIFY recoveredCoursesChanged)
    // The newest of them (a CourseSession, with its archivePath).
    Q_PROPERTY(QVariant recoveredCourse READ recoveredCourseVariant NOTIFY recoveredCoursesChanged)
    // "2026-03-02 09:00:00 开始 · 12 条翻译" (and how many more).
    Q_PROPERTY(QString recoveredCaption READ recoveredCaption NOTIFY recoveredCoursesChanged)

    // Closing the main window, logout and termination signals.
    Q_PROPERTY(vox::QuitController *quitController READ quitController CONSTANT)

    // The floating subtitle window and its state.
    Q_PROPERTY(vox::FloatingSubtitleController *floatingSubtitle READ floatingSubtitle CONSTANT)
public:
    AppController(AppModels models, DesktopServices *desktop, QObject *parent = nullptr);
    ~AppController() override;

    // Makes this controller the App of the views that `qml` loads (before
    // the first of them).
    void exposeTo(QQmlEngine *qml);
    // QML's way to App: the controller exposed to that engine.
    static AppController *create(QQmlEngine *qml, QJSEngine *js);

    PermissionManager *permissions() const { return m_models.permissions.get(); }
    AudioDeviceManager *deviceManager() const { return m_models.deviceManager.get(); }
    SpeechEngine *engine() const { return m_models.engine.get(); }
    GlossaryManager *glossary() const { return m_models.glossary.get(); }
    RecognizerModel *recognizer() const { return m_models.recognizer.get(); }
    BackgroundManager *background() const { return m_background.get(); }
    UiSettings *uiSettings() const { return m_settings.get(); }

    bool allGranted() const;
    bool anyPermissionDenied() const;
    QString denialHint() const;
    bool isRequestingPermissions() const { return m_requesting; }

    AudioDeviceList *devices() const { return deviceManager()->list(); }
    QString selectedDeviceID() const;
    void setSelectedDeviceID(const QString &id);

    bool isRecording() const;
    bool isCourseActive() const;
    bool isEndingCourse() const;
    QString courseSavingText() const;
    QString sessionDurationText() const;
    QString courseDurationText() const;
    int translationCount() const;
    int courseEntryCount() const;
    LatestEntriesModel *recentTranslations() const { return m_recent.get(); }
    std::optional<CourseSession> completedCourse() const;
    bool hasCompletedCourse() const;
    int completedCourseEntryCount() const;
    QStringList summaryPoints() const;
    QString lastError() const;

    // Courses recovered at this start (newest first); the notice shows
    // until dismissed.
    void setRecoveredCourses(std::vector<CourseSession> courses);
    const std::vector<CourseSession> &recoveredCourses() const { return m_recovered; }
    bool hasRecoveredCourse() const { return !m_recovered.empty(); }
    QVariant recoveredCourseVariant() const;
    QString recoveredCaption() const;
    Q_INVOKABLE void dismissRecoveredCourse();

    QuitController *quitController() const { return m_quit.get(); }
    FloatingSubtitleController *floatingSubtitle() const { return m_floating.get(); }

    // "%02d:%02d:%02d" of whole seconds.
    Q_INVOKABLE QString formatDuration(double seconds) const;

    // Record button: start on the selected device, or stop (ending a course).
    Q_INVOKABLE void toggleRecording();
    // "课程开始" / "开始新课": start the course and, when idle, recording.
    Q_INVOKABLE void startCourse();
    // "课程结束": end the course, then stop recording.
    Q_INVOKABLE void endCourse();
    Q_INVOKABLE void generateSummary();
    Q_INVOKABLE void refreshDevices();
    Q_INVOKABLE void setTranslationEnabled(bool on);
    // Permission view button.
    Q_INVOKABLE void requestPermissions();
    // Background pickers; an unreadable choice changes nothing.
    Q_INVOKABLE void chooseBackgroundFile(const QUrl &file);
    Q_INVOKABLE void loadPhoto(const QUrl &file);

    // The main view appeared for the first time (runs once).
    Q_INVOKABLE void mainViewShown();
    // The application is about to end: floating frame saved, engine stopped.
    Q_INVOKABLE void terminate();
    // The floating subtitle window: shown / hidden ("subtitle_visible" follows).
    Q_INVOKABLE void showSubtitle();
    Q_INVOKABLE void hideSubtitle();

Q_SIGNALS:
    void permissionsChanged();
    void isRequestingPermissionsChanged();
    void selectedDeviceChanged();
    void engineStateChanged();
    void durationsChanged();
    void translationsChanged();
    void completedCourseChanged();
    void summaryPointsChanged();
    void lastErrorChanged();
    void courseEntryCountChanged();
    void courseSavingTextChanged();
    void recoveredCoursesChanged();
    // Emitted first thing in terminate(), before the engine stops.
    void aboutToTerminate();

private:
    void onRequestAllFinished();
    void onSelectedDeviceChanged();

    AppModels m_models;
    std::unique_ptr<UiSettings> m_settings;
    std::unique_ptr<BackgroundManager> m_background;
    std::unique_ptr<LatestEntriesModel> m_recent;
    std::unique_ptr<FloatingSubtitleController> m_floating;
    std::unique_ptr<QuitController> m_quit;
    std::vector<CourseSession> m_recovered;
    bool m_requesting = false;
    bool m_mainViewShown = false;
    bool m_terminated = false;
    QString m_lastSelectedDevice;
};

} // namespace vox
