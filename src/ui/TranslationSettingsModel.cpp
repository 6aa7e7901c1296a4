#include "TranslationSettingsModel.h"

#include "glossary/GlossaryManager.h"
#include "platform/Diag.h"
#include "platform/Settings.h"
#include "translation/LocalTranslationSession.h"
#include "engine/SpeechEngine.h"

#include <QDir>
#include <QMetaMethod>
#include <algorithm>

namespace vox {

namespace {

// Trimmed of white space and line breaks at both ends.
QString trimmed(const QString &s)
{
    return s.trimmed();
}

QString key(const char *k)
{
    return QString::fromLatin1(k);
}

} // namespace

TranslationSettingsModel::TranslationSettingsModel(QObject *parent) : QObject(parent)
{
    Settings &s = settings();
    m_apiKey = s.string(key(Keys::DeepSeekApiKey));
    m_subject = s.string(key(Keys::CourseSubject));
    // Opening the sheet puts the stored count back into 1…100.
    const int stored = s.integer(key(Keys::VisibleTranslationCount));
    s.setValue(key(Keys::VisibleTranslationCount), std::clamp(stored, 1, 100));
    connect(&s, &Settings::changed, this, &TranslationSettingsModel::onSettingChanged);
    m_serviceStatus = QStringLiteral("正在检测本地翻译服务…");
}

TranslationSettingsModel::~TranslationSettingsModel()
{
    ++*m_probeGeneration;
}

void TranslationSettingsModel::onSettingChanged(const QString &k)
{
    if (k == QLatin1String(Keys::VisibleTranslationCount))
        emit visibleTranslationCountChanged();
    else if (k == QLatin1String(Keys::LocalTranslationUrl))
        emit localTranslationUrlChanged();
}

void TranslationSettingsModel::setEngine(SpeechEngine *engine)
{
    if (engine == m_engine)
        return;
    disconnect(m_engineConnection);
    m_engine = engine;
    if (engine)
        m_engineConnection = connect(engine, &SpeechEngine::translationEntriesChanged, this,
                                     &TranslationSettingsModel::refreshCandidates);
    emit engineChanged();
    refreshCandidates();
}

void TranslationSettingsModel::setGlossary(GlossaryManager *glossary)
{
    GlossaryManager *g = glossary;
    if (g == m_glossary)
        return;
    disconnect(m_glossaryConnection);
    m_glossary = g;
    if (g)
        m_glossaryConnection = connect(g, &GlossaryManager::termsChanged, this, [this] {
            emit termsChanged();
            refreshCandidates();
        });
    emit glossaryChanged();
    emit termsChanged();
    refreshCandidates();
}

int TranslationSettingsModel::visibleTranslationCount() const
{
    return std::clamp(settings().integer(key(Keys::VisibleTranslationCount)), 1, 100);
}

void TranslationSettingsModel::setVisibleTranslationCount(int n)
{
    settings().setValue(key(Keys::VisibleTranslationCount), std::clamp(n, 1, 100));
}

void TranslationSettingsModel::setSubject(const QString &s)
{
    if (s == m_subject)
        return;
    m_subject = s;
    settings().setValue(key(Keys::CourseSubject), trimmed(s));
    emit subjectChanged();
}

void TranslationSettingsModel::setApiKey(const QString &k)
{
    if (k == m_apiKey)
        return;
    m_apiKey = k;
    // An emptied field keeps the stored key.
    const QString t = trimmed(k);
    if (!t.isEmpty())
        settings().setValue(key(Keys::DeepSeekApiKey), t);
    emit apiKeyChanged();
}

void TranslationSettingsModel::setNewSource(const QString &s)
{
    if (s == m_newSource)
        return;
    m_newSource = s;
    emit newTermChanged();
}

void TranslationSettingsModel::setNewTarget(const QString &s)
{
    if (s == m_newTarget)
        return;
    m_newTarget = s;
    emit newTermChanged();
}

bool TranslationSettingsModel::canAdd() const
{
    return !trimmed(m_newSource).isEmpty() && !trimmed(m_newTarget).isEmpty();
}

void TranslationSettingsModel::setConflictMessage(const QString &m)
{
    if (m == m_conflictMessage)
        return;
    m_conflictMessage = m;
    emit conflictMessageChanged();
}

int TranslationSettingsModel::termCount() const
{
    return m_glossary ? m_glossary->count() : 0;
}

void TranslationSettingsModel::addTerm()
{
    if (!m_glossary)
        return;
    const QString source = trimmed(m_newSource), target = trimmed(m_newTarget);
    if (const auto conflict = m_glossary->conflictMessage(source, target)) {
        setConflictMessage(*conflict);
        return;
    }
    m_glossary->add(source, target, QString());
    setConflictMessage(QString());
    m_newSource.clear();
    m_newTarget.clear();
    emit newTermChanged();
}

void TranslationSettingsModel::chooseCandidate(const QString &word)
{
    setNewSource(word);
    setConflictMessage(QString());
}

void TranslationSettingsModel::removeTerm(const QString &id)
{
    if (m_glossary)
        m_glossary->removeById(id);
}

void TranslationSettingsModel::clearAll()
{
    if (m_glossary)
        m_glossary->setTerms({});
}

void TranslationSettingsModel::importGlossary(const QUrl &file)
{
    if (!m_glossary || file.isEmpty())
        return;
    const int n = m_glossary->importFromMarkdown(file);
    m_importMessage = n < 1 ? QStringLiteral("没有导入任何术语（文件为空、格式不符或术语已存在）。")
                            : QStringLiteral("导入成功：新增 %1 条术语。").arg(n);
    emit importMessageChanged();
}

QStringList TranslationSettingsModel::entrySources() const
{
    QStringList out;
    if (!m_engine)
        return out;
    for (const TranslationEntry &e : m_engine->translationEntries())
        out.append(e.source);
    return out;
}

void TranslationSettingsModel::refreshCandidates()
{
    m_candidates.setCandidates(m_glossary ? m_glossary->candidates(entrySources(), kCandidateLimit)
                                          : std::vector<GlossaryCandidate>());
}

QString TranslationSettingsModel::localTranslationUrl() const
{
    if (localUrlFromEnvironment())
        return vox::localTranslationUrl().toString();
    return settings().string(key(Keys::LocalTranslationUrl));
}

QUrl TranslationSettingsModel::homeFolder()
{
    return QUrl::fromLocalFile(QDir::homePath());
}

bool TranslationSettingsModel::localUrlFromEnvironment() const
{
    return localTranslationUrlFromEnvironment();
}

void TranslationSettingsModel::setLocalTranslationUrl(const QString &url)
{
    const QString t = trimmed(url);
    if (localUrlFromEnvironment() || t == localTranslationUrl())
        return;
    if (t.isEmpty())
        settings().remove(key(Keys::LocalTranslationUrl)); // back to the default address
    else
        settings().setValue(key(Keys::LocalTranslationUrl), t);
    checkService();
}

void TranslationSettingsModel::setServiceState(ServiceState state, const QString &text)
{
    if (state == m_serviceState && text == m_serviceStatus)
        return;
    m_serviceState = state;
    m_serviceStatus = text;
    emit serviceStateChanged();
}

void TranslationSettingsModel::checkService()
{
    const QUrl base = vox::localTranslationUrl();
    const int generation = ++*m_probeGeneration;
    setServiceState(Checking, QStringLiteral("正在检测本地翻译服务…"));
    std::weak_ptr<int> gen = m_probeGeneration;
    const QString address = base.toString();
    probeLanguages(base, this, [this, gen, generation, address](Result<LanguageProbe> r) {
        auto g = gen.lock();
        if (!g || *g != generation)
            return; // a newer check, or the sheet is gone
        if (!r.ok()) {
            setServiceState(NotAnswering, QStringLiteral("本地翻译服务未响应（%1）：%2").arg(address, r.error().message));
            return;
        }
        if (r.value().chineseAvailable)
            setServiceState(Answering, QStringLiteral("本地翻译服务已连接（%1）").arg(address));
        else
            setServiceState(AnsweringWithoutChinese,
                            QStringLiteral("本地翻译服务已连接（%1），但未安装英译中语言包").arg(address));
    });
}

} // namespace vox
