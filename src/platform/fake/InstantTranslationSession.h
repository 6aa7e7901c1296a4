#pragma once
// A translation session that answers at once, with "译:" before each
// sentence: the tests' stand-in for a translator that always works.
#include "platform/TranslationSession.h"

namespace vox::fake {

class InstantTranslationSession : public TranslationSession {
public:
    void translate(const QStringList &texts, std::function<void(Result<QStringList>)> done) override
    {
        QStringList out;
        for (const auto &t : texts)
            out.append(QStringLiteral("译:") + t);
        done(out);
    }
};

} // namespace vox::fake
