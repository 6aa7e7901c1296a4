#include "CourseRetranslation.h"

namespace vox::CourseRetranslation {

QString courseContext()
{
    return QStringLiteral("这些句子来自同一节英语课的连续课堂记录，按时间顺序排列。请结合整节课的上下文进行翻译，"
                          "保持术语、人名与表达前后一致，避免逐句生硬直译，使整体连贯自然。");
}

DeepSeekTranslationService::Input input(const CourseSession &course, const std::vector<GlossaryPair> &glossary,
                                        const QString &apiKey)
{
    DeepSeekTranslationService::Input in;
    in.sentences.reserve(qsizetype(course.entries.size()));
    for (const auto &e : course.entries)
        in.sentences.append(e.source);
    in.glossary = glossary;
    in.apiKey = apiKey;
    in.courseContext = courseContext();
    return in;
}

CourseSession apply(const CourseSession &course, const QStringList &translations)
{
    std::vector<TranslationEntry> entries;
    const size_t n = std::min(course.entries.size(), size_t(translations.size()));
    entries.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const TranslationEntry &old = course.entries[i];
        const QString &fresh = translations.at(qsizetype(i));
        entries.emplace_back(old.timestamp, old.source, fresh.isEmpty() ? old.target : fresh, old.audioTime);
    }
    // Everything else stays: key points, recording, the file it came from.
    CourseSession out = course;
    out.id = QUuid::createUuid();
    out.entries = std::move(entries);
    return out;
}

void retranslate(const CourseSession &course, const std::vector<GlossaryPair> &glossary, const QString &apiKey,
                 QObject *context, std::function<void(Result<CourseSession>)> done)
{
    DeepSeekTranslationService::translate(input(course, glossary, apiKey), context,
                                          [course, done = std::move(done)](Result<QStringList> r) {
                                              if (!r) {
                                                  done(r.error());
                                                  return;
                                              }
                                              done(apply(course, r.value()));
                                          });
}

} // namespace vox::CourseRetranslation
