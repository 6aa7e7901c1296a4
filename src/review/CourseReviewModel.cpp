#include "CourseReviewModel.h"

#include "CourseRetranslation.h"
#include "DeepSeekReviewService.h"
#include "SubtitleExporter.h"
#include "platform/Diag.h"
#include "platform/Platform.h"
#include "platform/Settings.h"

#include <QFileInfo>
#include <QVariantMap>

namespace vox {

namespace {

QString hms(const Date &d)
{
    return d.toQDateTime().toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

QString storedKeyTrimmed()
{
    return settings().string(QString::fromLatin1(Keys::DeepSeekApiKey)).trimmed();
}

} // namespace

CourseReviewModel::CourseReviewModel(CourseSession course, std::vector<GlossaryPair> glossary, QObject *parent)
    : QObject(parent), m_course(std::move(course)), m_glossary(std::move(glossary))
{
    m_apiKey = settings().string(QString::fromLatin1(Keys::DeepSeekApiKey));
    m_entries.replace(m_course.entries);
}

QString CourseReviewModel::startTimeText() const
{
    return hms(m_course.startDate);
}

QString CourseReviewModel::endTimeText() const
{
    return hms(m_course.endDate);
}

QString CourseReviewModel::durationText() const
{
    return formattedDuration(m_course.endDate.secondsSince(m_course.startDate));
}

QString CourseReviewModel::headerCaption() const
{
    return startTimeText() + QStringLiteral(" ～ ") + endTimeText() + QStringLiteral(" · 时长 ") + durationText() +
           QStringLiteral(" · 共 ") + QString::number(entryCount()) + QStringLiteral(" 条");
}

QString CourseReviewModel::recordingFileName() const
{
    const QString p = recordingPath();
    return p.isEmpty() ? QString() : QFileInfo(p).fileName();
}

bool CourseReviewModel::recordingExists() const
{
    const QString p = recordingPath();
    return !p.isEmpty() && QFileInfo::exists(p);
}

QString CourseReviewModel::apiKey() const
{
    return m_apiKey;
}

void CourseReviewModel::setApiKey(const QString &key)
{
    // The store always gets the trimmed value; clearing the field clears it.
    settings().setValue(QString::fromLatin1(Keys::DeepSeekApiKey), key.trimmed());
    if (key == m_apiKey)
        return;
    m_apiKey = key;
    Q_EMIT apiKeyChanged();
    Q_EMIT actionsChanged();
}

void CourseReviewModel::reloadApiKey()
{
    const QString stored = settings().string(QString::fromLatin1(Keys::DeepSeekApiKey));
    if (stored == m_apiKey)
        return;
    m_apiKey = stored;
    Q_EMIT apiKeyChanged();
    Q_EMIT actionsChanged();
}

bool CourseReviewModel::canReview() const
{
    return !trimmedKey().isEmpty() && !m_isReviewing && hasEntries();
}

bool CourseReviewModel::canRetranslate() const
{
    return !trimmedKey().isEmpty() && !m_isRetranslating && hasEntries();
}

QString CourseReviewModel::documentFileName() const
{
    return m_documentUrl.isEmpty() ? QString() : QFileInfo(m_documentUrl.toLocalFile()).fileName();
}

void CourseReviewModel::setReviewState(ReviewState s, QString message, QUrl url)
{
    m_reviewState = s;
    m_reviewMessage = std::move(message);
    m_documentUrl = std::move(url);
    Q_EMIT reviewStateChanged();
}

void CourseReviewModel::setRetranslateState(RetranslateState s, QString message, int count)
{
    m_retranslateState = s;
    m_retranslateMessage = std::move(message);
    m_retranslatedCount = count;
    Q_EMIT retranslateStateChanged();
}

QString CourseReviewModel::exportedFileName() const
{
    return m_exportedPath.isEmpty() ? QString() : QFileInfo(m_exportedPath).fileName();
}

void CourseReviewModel::setExportMessage(QString message, QString path, bool failed)
{
    m_exportMessage = std::move(message);
    m_exportedPath = std::move(path);
    m_exportFailed = failed;
    Q_EMIT exportChanged();
}

void CourseReviewModel::startReview()
{
    const QString key = storedKeyTrimmed();
    if (key.isEmpty() || m_isReviewing)
        return;
    m_isReviewing = true;
    setReviewState(ReviewState::Working, QStringLiteral("正在审阅本节课 ") + QString::number(entryCount()) +
                                             QStringLiteral(" 条翻译，请稍候…"));
    Q_EMIT actionsChanged();
    DeepSeekReviewService::review(m_course.entries, key, this, [this](Result<ReviewResult> r) {
        m_isReviewing = false;
        if (r) {
            // The course as it is now: a re-translation that finished
            // meanwhile shows in the document.
            auto saved = DeepSeekReviewService::saveDocument(m_course, r.value());
            if (saved) {
                diag(QStringLiteral("审阅文档已保存: ") + saved.value());
                setReviewState(ReviewState::Done, QStringLiteral("审阅完成，文档已保存"), QUrl::fromLocalFile(saved.value()));
                setExportMessage(QStringLiteral("审阅文档已保存：") + QFileInfo(saved.value()).fileName(), saved.value());
            } else {
                setReviewState(ReviewState::Failed, QStringLiteral("生成失败：") + saved.error().message);
            }
        } else {
            diag(QStringLiteral("审阅失败: ") + r.error().message);
            setReviewState(ReviewState::Failed, QStringLiteral("生成失败：") + r.error().message);
        }
        Q_EMIT actionsChanged();
    });
}

void CourseReviewModel::retranslate()
{
    const QString key = storedKeyTrimmed();
    if (key.isEmpty() || m_isRetranslating || m_course.entries.empty())
        return;
    m_isRetranslating = true;
    setRetranslateState(RetranslateState::Working, QStringLiteral("重新翻译中…"));
    Q_EMIT actionsChanged();
    CourseRetranslation::retranslate(m_course, m_glossary, key, this, [this](Result<CourseSession> r) {
        m_isRetranslating = false;
        if (r) {
            m_course = std::move(r.value());
            m_entries.replace(m_course.entries);
            const int n = entryCount();
            Q_EMIT courseChanged();
            setRetranslateState(RetranslateState::Done,
                                QStringLiteral("重新翻译完成，已更新 ") + QString::number(n) +
                                    QStringLiteral(" 条译文（可再次生成审阅文档）"),
                                n);
        } else {
            setRetranslateState(RetranslateState::Failed, QStringLiteral("重新翻译失败：") + r.error().message);
        }
        Q_EMIT actionsChanged();
    });
}

void CourseReviewModel::exportSubtitle(const QString &format)
{
    const QString f = format.trimmed().toLower();
    if (f != QLatin1String("srt") && f != QLatin1String("vtt"))
        return;
    const auto saved =
        SubtitleExporter::save(m_course, f == QLatin1String("srt") ? SubtitleExporter::Format::SRT : SubtitleExporter::Format::VTT);
    if (!saved) {
        // Nothing to write, or nowhere to write it.
        if (hasEntries())
            setExportMessage(QStringLiteral("导出字幕失败：无法访问桌面目录"), {}, true);
        return;
    }
    if (!*saved) {
        diag(QStringLiteral("导出字幕失败: ") + saved->error().message);
        setExportMessage(QStringLiteral("导出字幕失败：") + saved->error().message, {}, true);
        return;
    }
    diag(QStringLiteral("字幕已导出: ") + saved->value());
    setExportMessage(QStringLiteral("字幕已导出：") + QFileInfo(saved->value()).fileName(), saved->value());
}

void CourseReviewModel::openExported()
{
    if (m_exportedPath.isEmpty())
        return;
    auto desktop = platform().desktop;
    if (!desktop || !desktop->openWithDefaultApplication(m_exportedPath))
        setExportMessage(QStringLiteral("无法打开「%1」：没有可用的默认应用").arg(exportedFileName()), m_exportedPath, true);
}

void CourseReviewModel::revealExported()
{
    if (m_exportedPath.isEmpty())
        return;
    auto desktop = platform().desktop;
    if (!desktop || !desktop->revealInFileBrowser(m_exportedPath))
        setExportMessage(QStringLiteral("无法在文件管理器中显示「%1」").arg(exportedFileName()), m_exportedPath, true);
}

void CourseReviewModel::dismissExportMessage()
{
    if (!m_exportMessage.isEmpty() || !m_exportedPath.isEmpty())
        setExportMessage({}, {});
}

void CourseReviewModel::openDocument()
{
    if (m_documentUrl.isEmpty())
        return;
    if (auto desktop = platform().desktop)
        desktop->openWithDefaultApplication(m_documentUrl.toLocalFile());
}

void CourseReviewModel::revealDocument()
{
    if (m_documentUrl.isEmpty())
        return;
    if (auto desktop = platform().desktop)
        desktop->revealInFileBrowser(m_documentUrl.toLocalFile());
}

void CourseReviewModel::revealRecording()
{
    const QString p = recordingPath();
    if (p.isEmpty())
        return;
    if (auto desktop = platform().desktop)
        desktop->revealInFileBrowser(p);
}

void CourseReviewModel::reportPlaybackFailure(const QString &description)
{
    setReviewState(ReviewState::Failed, QStringLiteral("无法播放录音：") + description);
}

} // namespace vox
