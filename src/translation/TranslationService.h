#pragma once
// Batch translation with the "system" engine (on Linux the local translation
// server), remembering every sentence it has translated for its own life:
// only sentences not yet in the memo reach the session, in one call.
#include "platform/Error.h"
#include "platform/TranslationSession.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace vox {

class TranslationService {
public:
    TranslationService();

    // One translation per sentence in order; a position the session did not
    // answer keeps an empty string; responses beyond the pending sentences
    // are ignored. A failure of the session call fails the whole operation
    // with the session's error. `done` is not called once `context` is gone.
    void translate(const QStringList &sentences, const std::shared_ptr<TranslationSession> &session,
                   QObject *context, std::function<void(Result<QStringList>)> done);

    const QHash<QString, QString> &memo() const { return *m_memo; }

private:
    std::shared_ptr<QHash<QString, QString>> m_memo;
};

} // namespace vox
