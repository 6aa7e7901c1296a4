#pragma once
// Online translation of English sentences into Simplified Chinese through the
// DeepSeek chat-completions service. Stateless: one asynchronous operation.
// The sentences go out in requests of at most 20, one after another, each
// numbered from "[1] "; the reply's {"translations": [...]} are collected in
// order. Errors: domain "DeepSeekTranslation", -1 no API key, -2 no HTTP
// response, -3 no usable result, otherwise the HTTP status; transport and
// decoding errors are passed on unchanged (see ChatCompletions.h).
#include "platform/Error.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace vox {

// What a glossary term contributes to a prompt.
struct GlossaryPair {
    QString source;
    QString target;
    bool operator==(const GlossaryPair &) const = default;
};

// Any list of glossary terms (anything with `source` and `target`).
template <typename Terms>
std::vector<GlossaryPair> glossaryPairs(const Terms &terms)
{
    std::vector<GlossaryPair> out;
    for (const auto &t : terms)
        out.push_back(GlossaryPair{t.source, t.target});
    return out;
}

// One already translated pair, oldest first in `recent`.
struct ContextPair {
    QString source;
    QString target;
    bool operator==(const ContextPair &) const = default;
};

namespace DeepSeekTranslationService {

inline constexpr auto kErrorDomain = "DeepSeekTranslation";
inline constexpr int kGroupSize = 20;

struct Input {
    QStringList sentences;
    std::vector<GlossaryPair> glossary;
    QString apiKey;
    std::optional<QString> courseContext;
    std::vector<ContextPair> recent;
    QString subject;
};

// The system prompt: base text, glossary, subject, recent context, course
// context, output rule.
QString buildSystemPrompt(const std::vector<GlossaryPair> &glossary, const QString &subject,
                          const std::vector<ContextPair> &recent, const std::optional<QString> &courseContext);
// "待翻译的英文句子：\n[1] ...\n[2] ..." for one group.
QString buildUserMessage(const QStringList &group);
// The translations of one decoded reply content.
Result<QStringList> decodeTranslations(const QByteArray &content);

// Translates the sentences; `done` gets exactly as many strings as there are
// sentences (missing ones empty), or the first error. An empty sentence list
// answers at once with an empty list. `done` is never called once `context`
// is gone; it is always called asynchronously or immediately on the calling
// (main) thread.
void translate(const Input &input, QObject *context, std::function<void(Result<QStringList>)> done);

} // namespace DeepSeekTranslationService
} // namespace vox
