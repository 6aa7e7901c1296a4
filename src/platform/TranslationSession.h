#pragma once
// The on-device ("system") translation service: batch translation from
// English to Simplified Chinese.
#include "Error.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace vox {

class TranslationSession {
public:
    virtual ~TranslationSession() = default;
    // Answers on the main thread, once: the translations in order (a missing
    // one is an empty string), or an error.
    virtual void translate(const QStringList &texts, std::function<void(Result<QStringList>)> done) = 0;
};

} // namespace vox
