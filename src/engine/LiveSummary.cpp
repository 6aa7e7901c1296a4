#include "LiveSummary.h"

#include "platform/Diag.h"
#include "platform/Settings.h"
#include "translation/ChatCompletions.h"
#include "translation/DeepSeekSummary.h"

#include <QPointer>

namespace vox {

namespace {

QString storedKey()
{
    return settings().string(QString::fromLatin1(Keys::DeepSeekApiKey));
}

// What a request cancelled by the end of its course fails with.
Error cancelledError()
{
    return Error{QString::fromLatin1(ChatCompletions::kNetworkDomain), -999, QStringLiteral("已取消")};
}

} // namespace

LiveSummary::LiveSummary(LiveSummaryHost &host, QObject *parent) : QObject(parent), m_host(host) {}

LiveSummary::~LiveSummary()
{
    // The owner is going away: end the loop without reporting anything.
    m_loopActive = false;
    m_loopTimer.cancel();
    m_cancelLoopRequest = nullptr;
}

void LiveSummary::resetForNewCourse()
{
    if (!m_points.isEmpty()) {
        m_points.clear();
        Q_EMIT summaryPointsChanged();
    }
    m_anchor.reset();
}

void LiveSummary::startAutoSummaryIfNeeded()
{
    if (storedKey().isEmpty())
        return;
    cancelAutoSummary();
    m_loopActive = true;
    scheduleLoopTick(++m_loopGeneration);
}

void LiveSummary::cancelAutoSummary()
{
    m_loopActive = false;
    ++m_loopGeneration;
    m_loopTimer.cancel();
    m_loopTimer = TaskHandle();
    if (m_cancelLoopRequest) {
        auto cancel = std::move(m_cancelLoopRequest);
        m_cancelLoopRequest = nullptr;
        cancel();
    }
}

void LiveSummary::scheduleLoopTick(unsigned long long loop)
{
    m_loopTimer = timeSource().after(kInterval, this, [this, loop] { loopTick(loop); });
}

void LiveSummary::loopTick(unsigned long long loop)
{
    if (loop != m_loopGeneration || !m_loopActive)
        return;
    if (!m_host.summaryCourseActive()) {
        m_loopActive = false;
        return;
    }
    // The next ten minutes start once this run has ended: runs never overlap.
    runSummary(true, [this, loop] {
        if (loop == m_loopGeneration && m_loopActive)
            scheduleLoopTick(loop);
    });
}

void LiveSummary::generateSummary()
{
    runSummary(false, {});
}

void LiveSummary::runSummary(bool fromLoop, std::function<void()> done)
{
    auto finishNow = [&done] {
        if (done)
            done();
    };
    if (m_isSummarizing) {
        finishNow();
        return;
    }
    if (storedKey().isEmpty()) {
        m_host.summaryProblem(QStringLiteral("实时摘要需要 DeepSeek API Key：请点击「翻译设置」填写后重试。"), true);
        finishNow();
        return;
    }
    const Date now = timeSource().now();
    const Date anchor = m_anchor ? *m_anchor : m_host.summaryCourseStartDate().value_or(now);
    std::vector<TranslationEntry> selection;
    for (const auto &e : m_host.summaryEntries())
        if (e.timestamp > anchor)
            selection.push_back(e);
    // Moved before the request and whatever follows: entries of a failed run
    // are not offered again.
    m_anchor = now;
    if (selection.empty()) {
        finishNow();
        return;
    }

    setSummarizing(true);
    const QString key = storedKey();
    QPointer<QObject> request = new QObject(this);
    auto ended = std::make_shared<bool>(false);
    auto finish = [this, request, ended, fromLoop, done = std::move(done)](Result<QStringList> r) {
        if (*ended)
            return;
        *ended = true;
        if (request)
            request->deleteLater();
        if (fromLoop)
            m_cancelLoopRequest = nullptr;
        if (r) {
            m_host.summaryAnswered();
            m_points.append(r.value());
            diag(QStringLiteral("实时摘要完成，新增 ") + QString::number(r.value().size()) + QStringLiteral(" 条要点"));
            if (!r.value().isEmpty())
                Q_EMIT summaryPointsChanged();
        } else {
            diag(QStringLiteral("实时摘要失败: ") + ChatCompletions::fullDescription(r.error()));
            m_host.summaryProblem(QStringLiteral("实时摘要失败：") + r.error().message, false);
        }
        setSummarizing(false);
        if (done)
            done();
    };
    if (fromLoop)
        m_cancelLoopRequest = [finish] { finish(cancelledError()); };
    DeepSeekSummary::summarize(selection, key, request, finish);
}

void LiveSummary::setSummarizing(bool on)
{
    if (m_isSummarizing == on)
        return;
    m_isSummarizing = on;
    Q_EMIT isSummarizingChanged();
}

} // namespace vox
