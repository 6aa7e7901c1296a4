#include "AppController.h"

#include "platform/Date.h"
#include "platform/Diag.h"
#include "platform/Settings.h"

#include <QGuiApplication>
#include <QHash>
#include <QJSEngine>
#include <QQmlEngine>
#include <algorithm>

// The registration of the "Voxleaf" module's types, generated into this
// library; referring to it keeps it (and its registration at start-up) linked.
extern void qml_register_types_Voxleaf();

namespace vox {

namespace {
// The main list shows 1 to 100 sentences, whatever the store holds.
int visibleCount(const UiSettings &s)
{
    return std::clamp(s.visibleTranslationCount(), 1, 100);
}
} // namespace

namespace {

// The controller each QML engine's App is.
QHash<const QQmlEngine *, AppController *> &exposed()
{
    static QHash<const QQmlEngine *, AppController *> controllers;
    return controllers;
}

} // namespace

AppController::AppController(AppModels models, DesktopServices *desktop, QObject *parent)
    : QObject(parent),
      m_models(std::move(models)),
      m_settings(std::make_unique<UiSettings>()),
      m_background(std::make_unique<BackgroundManager>(desktop)),
      m_recent(std::make_unique<LatestEntriesModel>(visibleCount(*m_settings))),
      m_floating(std::make_unique<FloatingSubtitleController>()),
      m_quit(std::make_unique<QuitController>(m_models.engine.get()))
{
    m_floating->setEngine(engine());
    connect(m_quit.get(), &QuitController::endCourseRequested, this, &AppController::endCourse);
    connect(m_quit.get(), &QuitController::isQuittingChanged, this, &AppController::courseSavingTextChanged);
    connect(permissions(), &PermissionManager::statusChanged, this, &AppController::permissionsChanged);

    AudioDeviceManager *dm = deviceManager();
    connect(dm, &AudioDeviceManager::selectedDeviceIDChanged, this, &AppController::selectedDeviceChanged);
    connect(this, &AppController::selectedDeviceChanged, this, &AppController::onSelectedDeviceChanged);
    m_lastSelectedDevice = selectedDeviceID();

    SpeechEngine *e = engine();
    connect(e, &SpeechEngine::isRecordingChanged, this, &AppController::engineStateChanged);
    connect(e, &SpeechEngine::isCourseActiveChanged, this, &AppController::engineStateChanged);
    connect(e, &SpeechEngine::isEndingCourseChanged, this, &AppController::engineStateChanged);
    connect(e, &SpeechEngine::courseEntryCountChanged, this, &AppController::courseEntryCountChanged);
    connect(e, &SpeechEngine::sessionDurationChanged, this, &AppController::durationsChanged);
    connect(e, &SpeechEngine::courseDurationChanged, this, &AppController::durationsChanged);
    connect(e, &SpeechEngine::translationEntriesChanged, this, &AppController::translationsChanged);
    connect(e, &SpeechEngine::completedCourseChanged, this, &AppController::completedCourseChanged);
    connect(e, &SpeechEngine::summaryPointsChanged, this, &AppController::summaryPointsChanged);
    connect(e, &SpeechEngine::lastErrorChanged, this, &AppController::lastErrorChanged);
    m_recent->setSource(e->transcript());
    connect(m_settings.get(), &UiSettings::visibleTranslationCountChanged, this,
            [this] { m_recent->setLimit(visibleCount(*m_settings)); });
}

AppController::~AppController()
{
    exposed().removeIf([this](auto it) { return it.value() == this; });
    m_floating->releaseWindow();
    // The views go first; then the engine before the models it points to.
    m_models.engine.reset();
}

void AppController::exposeTo(QQmlEngine *qml)
{
    volatile auto registration = &qml_register_types_Voxleaf;
    Q_UNUSED(registration)
    exposed().insert(qml, this);
    connect(qml, &QObject::destroyed, this, [qml] { exposed().remove(qml); });
}

AppController *AppController::create(QQmlEngine *qml, QJSEngine *)
{
    AppController *controller = exposed().value(qml);
    // Owned by the application, never by the views.
    if (controller)
        QJSEngine::setObjectOwnership(controller, QJSEngine::CppOwnership);
    return controller;
}

// Permissions ---------------------------------------------------------------

bool AppController::allGranted() const
{
    return permissions()->allGranted();
}

bool AppController::anyPermissionDenied() const
{
    using S = PermissionManager::PermissionStatus;
    return permissions()->microphoneStatus() == S::Denied || permissions()->speechStatus() == S::Denied;
}

QString AppController::denialHint() const
{
    return permissions()->denialHint();
}

void AppController::requestPermissions()
{
    if (m_requesting)
        return;
    m_requesting = true;
    Q_EMIT isRequestingPermissionsChanged();
    permissions()->requestAll([self = QPointer<AppController>(this)] {
        if (self)
            self->onRequestAllFinished();
    });
}

void AppController::onRequestAllFinished()
{
    if (!m_requesting)
        return;
    m_requesting = false;
    Q_EMIT isRequestingPermissionsChanged();
    Q_EMIT permissionsChanged();
}

// Devices -------------------------------------------------------------------

QString AppController::selectedDeviceID() const
{
    return deviceManager()->selectedDeviceIDString();
}

void AppController::setSelectedDeviceID(const QString &id)
{
    if (id != selectedDeviceID())
        deviceManager()->setSelectedDeviceID(id);
}

void AppController::onSelectedDeviceChanged()
{
    const QString id = selectedDeviceID();
    if (id == m_lastSelectedDevice)
        return;
    const QString previous = std::exchange(m_lastSelectedDevice, id);
    // The microphone in use was pulled out and the list moved the selection
    // on: the engine waits for that microphone to come back instead of
    // recording from another one behind the user's back.
    const auto &all = deviceManager()->devices();
    const bool previousStillThere
        = std::any_of(all.begin(), all.end(), [&](const AudioDevice &d) { return d.id == previous; });
    // A new microphone chosen while recording: capture moves to it.
    if (!id.isEmpty() && isRecording() && (previous.isEmpty() || previousStillThere))
        engine()->start(id);
}

void AppController::refreshDevices()
{
    deviceManager()->refresh();
}

// Engine values -------------------------------------------------------------

bool AppController::isRecording() const { return engine()->isRecording(); }
bool AppController::isCourseActive() const { return engine()->isCourseActive(); }
bool AppController::isEndingCourse() const { return engine()->isEndingCourse(); }

QString AppController::courseSavingText() const
{
    return m_quit->isQuitting() ? QStringLiteral("正在保存本节课…保存完成后退出") : QStringLiteral("正在保存本节课…");
}

QString AppController::formatDuration(double seconds) const
{
    return formattedDuration(seconds);
}

QString AppController::sessionDurationText() const
{
    return formattedDuration(engine()->sessionDuration());
}

QString AppController::courseDurationText() const
{
    return formattedDuration(engine()->courseDuration());
}

int AppController::translationCount() const
{
    return int(engine()->translationEntries().size());
}

int AppController::courseEntryCount() const
{
    return engine()->courseEntryCount();
}

std::optional<CourseSession> AppController::completedCourse() const
{
    return engine()->completedCourse();
}

bool AppController::hasCompletedCourse() const
{
    return engine()->hasCompletedCourse();
}

int AppController::completedCourseEntryCount() const
{
    const auto &c = engine()->completedCourse();
    return c ? int(c->entries.size()) : 0;
}

QStringList AppController::summaryPoints() const
{
    return engine()->summaryPoints();
}

QString AppController::lastError() const
{
    return engine()->lastError();
}

// Recovered courses ---------------------------------------------------------

void AppController::setRecoveredCourses(std::vector<CourseSession> courses)
{
    std::stable_sort(courses.begin(), courses.end(),
                     [](const CourseSession &a, const CourseSession &b) { return a.startDate > b.startDate; });
    m_recovered = std::move(courses);
    Q_EMIT recoveredCoursesChanged();
}

QVariant AppController::recoveredCourseVariant() const
{
    return m_recovered.empty() ? QVariant() : QVariant::fromValue(m_recovered.front());
}

QString AppController::recoveredCaption() const
{
    if (m_recovered.empty())
        return {};
    const CourseSession &c = m_recovered.front();
    QString text = c.startDate.toQDateTime().toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                   + QStringLiteral(" 开始 · %1 条翻译").arg(c.entries.size());
    if (m_recovered.size() > 1)
        text += QStringLiteral("（另有 %1 节已存入历史课程）").arg(m_recovered.size() - 1);
    return text;
}

void AppController::dismissRecoveredCourse()
{
    if (m_recovered.empty())
        return;
    m_recovered.clear();
    Q_EMIT recoveredCoursesChanged();
}

// Operations ----------------------------------------------------------------

void AppController::toggleRecording()
{
    if (!isRecording()) {
        const QString id = selectedDeviceID();
        if (id.isEmpty())
            return;
        engine()->start(id);
        return;
    }
    engine()->stop();
    if (isCourseActive())
        engine()->endCourse();
}

void AppController::startCourse()
{
    engine()->startCourse();
    const QString id = selectedDeviceID();
    if (!id.isEmpty() && !isRecording())
        engine()->start(id);
}

void AppController::endCourse()
{
    engine()->endCourse();
    if (isRecording())
        engine()->stop();
}

void AppController::generateSummary()
{
    engine()->liveSummary().generateSummary();
}

void AppController::setTranslationEnabled(bool on)
{
    engine()->setTranslationEnabled(on);
}

void AppController::chooseBackgroundFile(const QUrl &file)
{
    if (!file.isEmpty())
        m_background->setBackgroundFromFile(file);
}

void AppController::loadPhoto(const QUrl &file)
{
    if (!file.isEmpty())
        m_background->setBackgroundFromFile(file);
}

void AppController::mainViewShown()
{
    if (m_mainViewShown)
        return;
    m_mainViewShown = true;
    QMetaObject::invokeMethod(this, &AppController::refreshDevices, Qt::QueuedConnection);
    // The glossary reaches online translation through the engine.
    if (glossary())
        engine()->setGlossaryManager(glossary());
    m_floating->restoreFromSettings();
    if (m_models.startTranslationProbe)
        m_models.startTranslationProbe(*engine());
}

void AppController::showSubtitle()
{
    m_floating->showSubtitle();
}

void AppController::hideSubtitle()
{
    m_floating->hideSubtitle();
}

void AppController::terminate()
{
    if (m_terminated)
        return;
    m_terminated = true;
    Q_EMIT aboutToTerminate();
    m_floating->beginExit();
    // stop() ends the session and puts the previous default input back.
    engine()->stop();
    diag(QStringLiteral("应用退出"));
}

} // namespace vox
