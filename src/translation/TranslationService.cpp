#include "TranslationService.h"

#include <QPointer>

namespace vox {

TranslationService::TranslationService()
    : m_memo(std::make_shared<QHash<QString, QString>>())
{
}

void TranslationService::translate(const QStringList &sentences, const std::shared_ptr<TranslationSession> &session,
                                   QObject *context, std::function<void(Result<QStringList>)> done)
{
    if (sentences.isEmpty()) {
        done(QStringList{});
        return;
    }
    QStringList results;
    QStringList pending;
    QList<qsizetype> positions;
    results.reserve(sentences.size());
    for (qsizetype i = 0; i < sentences.size(); ++i) {
        const auto it = m_memo->constFind(sentences[i]);
        if (it != m_memo->constEnd()) {
            results.append(*it);
        } else {
            results.append(QString());
            pending.append(sentences[i]);
            positions.append(i);
        }
    }
    if (pending.isEmpty()) {
        done(std::move(results));
        return;
    }
    const bool hasContext = context != nullptr;
    QPointer<QObject> guard = context;
    session->translate(pending, [memo = m_memo, results, pending, positions, hasContext, guard,
                                 done = std::move(done)](Result<QStringList> r) mutable {
        if (hasContext && !guard)
            return;
        if (!r) {
            done(r.error());
            return;
        }
        const QStringList &responses = r.value();
        for (qsizetype k = 0; k < responses.size() && k < pending.size(); ++k) {
            // A blank answer is not remembered: a retry asks again.
            if (!responses[k].trimmed().isEmpty())
                memo->insert(pending[k], responses[k]);
            results[positions[k]] = responses[k];
        }
        done(std::move(results));
    });
}

} // namespace vox
