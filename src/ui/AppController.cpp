#include "AppController.h"

#include "ModelValues.h"
#include "engine/SpeechEngine.h"
#include "platform/Date.h"
#include "platform/Diag.h"
#include "platform/Settings.h"

#include <QGuiApplication>
#include <QMetaMethod>
#include <QMetaProperty>
#include <algorithm>

namespace vox {

using namespace vox::ui;

namespace {
QMetaMethod ownSignal(const QObject *o, const char *normalized)
{
    const int idx = o->metaObject()->indexOfSignal(normalized);
    return idx >= 0 ? o->metaObject()->method(idx) : QMetaMethod();
}

bool hasProperty(const QObject *o, const char *name)
{
    return o && o->metaObject()->indexOfProperty(name) >= 0;
}

bool isAbsent(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}
} // namespace

AppController::AppController(AppModels models, DesktopServices *desktop, QObject *parent)
    : QObject(parent),
      m_models(std::move(models)),
      m_settings(std::make_unique<UiSettings>()),
      m_theme(std::make_unique<ThemeModel>()),
      m_background(std::make_unique<BackgroundManager>(desktop)),
      m_floating(std::make_unique<FloatingSubtitleController>()),
      m_quit(std::make_unique<QuitController>(m_models.engine.get()))
{
    m_floating->setEngine(engine());
    connect(m_quit.get(), &QuitController::endCourseRequested, this, &AppController::endCourse);
    connect(m_quit.get(), &QuitController::isQuittingChanged, this, &AppController::courseSavingTextChanged);
    QObject *perm = permissions();
    watch(perm, "microphoneStatus", &AppController::permissionsChanged);
    watch(perm, "speechStatus", &AppController::permissionsChanged);
    watch(perm, "allGranted", &AppController::permissionsChanged);
    watch(perm, "denialHint", &AppController::permissionsChanged);

    QObject *dm = deviceManager();
    watch(dm, "devices", &AppController::devicesChanged);
    watch(dm, "selectedDeviceID", &AppController::selectedDeviceChanged);
    connect(this, &AppController::selectedDeviceChanged, this, &AppController::onSelectedDeviceChanged);
    m_lastSelectedDevice = selectedDeviceID();

    QObject *e = engine();
    watch(e, "isRecording", &AppController::engineStateChanged);
    watch(e, "isCourseActive", &AppController::engineStateChanged);
    watch(e, "isEndingCourse", &AppController::engineStateChanged);
    watch(e, "courseEntryCount", &AppController::courseEntryCountChanged);
    watch(e, "sessionDuration", &AppController::durationsChanged);
    watch(e, "courseDuration", &AppController::durationsChanged);
    watch(e, "translationEntries", &AppController::translationsChanged);
    watch(e, "completedCourse", &AppController::completedCourseChanged);
    watch(e, "hasCompletedCourse", &AppController::completedCourseChanged);
    watch(e, "summaryPoints", &AppController::summaryPointsChanged);
    watch(e, "lastError", &AppController::lastErrorChanged);
    connect(m_settings.get(), &UiSettings::visibleTranslationCountChanged, this, &AppController::translationsChanged);
}

AppController::~AppController()
{
    m_floating->releaseWindow();
    // The views go first; then the engine before the models it points to.
    m_models.engine.reset();
}

void AppController::watch(QObject *o, const char *property, void (AppController::*signal)())
{
    if (!o)
        return;
    const int idx = o->metaObject()->indexOfProperty(property);
    if (idx < 0)
        return;
    const QMetaProperty p = o->metaObject()->property(idx);
    if (!p.hasNotifySignal())
        return;
    const QMetaMethod target = QMetaMethod::fromSignal(signal);
    connect(o, p.notifySignal(), this, target);
}

QVariant AppController::engineValue(const char *name) const
{
    return engine() ? engine()->property(name) : QVariant();
}

bool AppController::call(QObject *o, const char *method, const QVariant &arg) const
{
    if (!o)
        return false;
    if (!arg.isValid())
        return QMetaObject::invokeMethod(o, method, Qt::DirectConnection);
    return QMetaObject::invokeMethod(o, method, Qt::DirectConnection, Q_ARG(QString, arg.toString()));
}

// Permissions ---------------------------------------------------------------

bool AppController::allGranted() const
{
    QObject *p = permissions();
    if (!p)
        return true;
    if (hasProperty(p, "allGranted"))
        return p->property("allGranted").toBool();
    return permissionFromVariant(p->property("microphoneStatus")) == PermissionState::Granted
           && permissionFromVariant(p->property("speechStatus")) == PermissionState::Granted;
}

bool AppController::anyPermissionDenied() const
{
    QObject *p = permissions();
    return p
           && (permissionFromVariant(p->property("microphoneStatus")) == PermissionState::Denied
               || permissionFromVariant(p->property("speechStatus")) == PermissionState::Denied);
}

QString AppController::denialHint() const
{
    QObject *p = permissions();
    if (!p)
        return {};
    const QVariant v = p->property("denialHint");
    return isAbsent(v) ? QString() : v.toString();
}

void AppController::requestPermissions()
{
    QObject *p = permissions();
    if (m_requesting || !p)
        return;
    m_requesting = true;
    Q_EMIT isRequestingPermissionsChanged();
    // requestAll is asynchronous and announces its end with requestAllFinished;
    // a manager without that signal has finished when the call returns.
    const QMetaMethod done = ownSignal(p, "requestAllFinished()");
    if (done.isValid()) {
        const int slot = staticMetaObject.indexOfSlot("onRequestAllFinished()");
        m_requestConnection = connect(p, done, this, staticMetaObject.method(slot));
    }
    const bool invoked = QMetaObject::invokeMethod(p, "requestAll", Qt::DirectConnection);
    if (!invoked || !done.isValid())
        onRequestAllFinished();
}

void AppController::onRequestAllFinished()
{
    disconnect(m_requestConnection);
    if (!m_requesting)
        return;
    m_requesting = false;
    Q_EMIT isRequestingPermissionsChanged();
    Q_EMIT permissionsChanged();
}

// Devices -------------------------------------------------------------------

QVariantList AppController::devices() const
{
    QVariantList out;
    QObject *dm = deviceManager();
    if (!dm)
        return out;
    const QVariantList raw = dm->property("devices").toList();
    for (const QVariant &d : raw) {
        QVariantMap m = d.toMap();
        if (m.isEmpty() && (d.metaType().flags() & QMetaType::IsGadget)) {
            const QMetaObject *mo = d.metaType().metaObject();
            for (int i = 0; i < mo->propertyCount(); ++i)
                m.insert(QString::fromLatin1(mo->property(i).name()), mo->property(i).readOnGadget(d.constData()));
        }
        out.append(QVariantMap{{QStringLiteral("id"), m.value(QStringLiteral("id")).toString()},
                               {QStringLiteral("name"), m.value(QStringLiteral("name")).toString()}});
    }
    return out;
}

QString AppController::selectedDeviceID() const
{
    QObject *dm = deviceManager();
    if (!dm)
        return {};
    const QVariant v = dm->property("selectedDeviceID");
    return isAbsent(v) ? QString() : v.toString();
}

void AppController::setSelectedDeviceID(const QString &id)
{
    if (QObject *dm = deviceManager(); dm && id != selectedDeviceID())
        dm->setProperty("selectedDeviceID", id);
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
    bool previousStillThere = false;
    for (const QVariant &d : devices())
        previousStillThere = previousStillThere || d.toMap().value(QStringLiteral("id")).toString() == previous;
    // A new microphone chosen while recording: capture moves to it.
    if (!id.isEmpty() && isRecording() && (previous.isEmpty() || previousStillThere))
        call(engine(), "start", id);
}

void AppController::refreshDevices()
{
    call(deviceManager(), "refresh");
}

// Engine values -------------------------------------------------------------

bool AppController::isRecording() const { return engineValue("isRecording").toBool(); }
bool AppController::isCourseActive() const { return engineValue("isCourseActive").toBool(); }

bool AppController::isEndingCourse() const
{
    if (auto *e = qobject_cast<SpeechEngine *>(engine()))
        return e->isEndingCourse();
    return engineValue("isEndingCourse").toBool();
}

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
    return formattedDuration(engineValue("sessionDuration").toDouble());
}

QString AppController::courseDurationText() const
{
    return formattedDuration(engineValue("courseDuration").toDouble());
}

int AppController::translationCount() const
{
    return int(entriesFromVariant(engineValue("translationEntries")).size());
}

int AppController::courseEntryCount() const
{
    if (auto *e = qobject_cast<SpeechEngine *>(engine()))
        return e->courseEntryCount();
    return engineValue("courseEntryCount").toInt();
}

std::vector<TranslationEntry> AppController::visibleTranslationEntries() const
{
    return lastEntries(entriesFromVariant(engineValue("translationEntries")), m_settings->visibleTranslationCount());
}

QVariantList AppController::recentTranslations() const
{
    const auto visible = visibleTranslationEntries();
    QVariantList out;
    out.reserve(qsizetype(visible.size()));
    for (auto it = visible.rbegin(); it != visible.rend(); ++it)
        out.append(entryToMap(*it));
    return out;
}

std::optional<CourseSession> AppController::completedCourse() const
{
    if (auto *e = qobject_cast<SpeechEngine *>(engine()))
        return e->completedCourse();
    return courseFromVariant(engineValue("completedCourse"));
}

bool AppController::hasCompletedCourse() const
{
    return completedCourse().has_value();
}

int AppController::completedCourseEntryCount() const
{
    const auto c = completedCourse();
    return c ? int(c->entries.size()) : 0;
}

QStringList AppController::summaryPoints() const
{
    return stringsFromVariant(engineValue("summaryPoints"));
}

QString AppController::lastError() const
{
    const QVariant v = engineValue("lastError");
    return isAbsent(v) ? QString() : v.toString();
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
        call(engine(), "start", id);
        return;
    }
    call(engine(), "stop");
    if (isCourseActive())
        call(engine(), "endCourse");
}

void AppController::startCourse()
{
    call(engine(), "startCourse");
    const QString id = selectedDeviceID();
    if (!id.isEmpty() && !isRecording())
        call(engine(), "start", id);
}

void AppController::endCourse()
{
    call(engine(), "endCourse");
    if (isRecording())
        call(engine(), "stop");
}

void AppController::generateSummary()
{
    if (auto *e = qobject_cast<SpeechEngine *>(engine()))
        e->liveSummary().generateSummary();
    else
        call(engine(), "generateSummary");
}

void AppController::setTranslationEnabled(bool on)
{
    if (engine())
        engine()->setProperty("isTranslationEnabled", on);
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
    if (m_models.connectGlossary)
        m_models.connectGlossary(engine(), glossary());
    m_floating->restoreFromSettings();
    if (m_models.startTranslationProbe)
        m_models.startTranslationProbe(engine());
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
    call(engine(), "stop");
    diag(QStringLiteral("应用退出"));
}

} // namespace vox
