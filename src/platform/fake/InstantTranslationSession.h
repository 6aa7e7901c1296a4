#pragma once
// A translation session that answers at once, with the target a test gave
// for a sentence or "译:" before it: the tests' stand-in for a translator
// that always works. While `hold` is set, requests wait for release().
#include "platform/TranslationSession.h"

#include <QHash>
#include <vector>

namespace vox::fake {

class InstantTranslationSession : public TranslationSession {
public:
    void translate(const QStringList &texts, std::function<void(Result<QStringList>)> done) override
    {
        if (hold) {
            m_held.emplace_back(texts, std::move(done));
            return;
        }
        QStringList out;
        for (const auto &t : texts)
            out.append(targets.value(t, QStringLiteral("译:") + t));
        done(out);
    }
    // Stops holding and answers every held request, oldest first.
    void release()
    {
        hold = false;
        auto held = std::move(m_held);
        m_held.clear();
        for (auto &[texts, done] : held)
            translate(texts, std::move(done));
    }
    size_t heldCount() const { return m_held.size(); }

    QHash<QString, QString> targets;
    bool hold = false;

private:
    std::vector<std::pair<QStringList, std::function<void(Result<QStringList>)>>> m_held;
};

} // namespace vox::fake
