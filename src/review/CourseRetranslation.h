#pragma once
// Whole-course re-translation: every English sentence of a course sent again
// to DeepSeek (in requests of 20) with a note that they form one continuous
// lecture, and a new course value carrying the new translations.
#include "course/CourseRecords.h"
#include "platform/Error.h"
#include "translation/DeepSeekTranslationService.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace vox::CourseRetranslation {

// The course context sent with every request.
QString courseContext();

// The translation request for a course: all sources in order, the glossary,
// the key, the course context, no recent context and no subject.
DeepSeekTranslationService::Input input(const CourseSession &course, const std::vector<GlossaryPair> &glossary,
                                        const QString &apiKey);

// A new course (fresh ids) pairing the entries with `translations` by
// position, stopping at the shorter list. An empty translation keeps the
// entry's old target; timestamps, sources and audio times are kept, and so is
// the rest of the course (key points, recording, archivePath).
CourseSession apply(const CourseSession &course, const QStringList &translations);

// Translates the course again; `done` gets the new course or the error (the
// old course is then to be kept). Never called once `context` is gone.
void retranslate(const CourseSession &course, const std::vector<GlossaryPair> &glossary, const QString &apiKey,
                 QObject *context, std::function<void(Result<CourseSession>)> done);

} // namespace vox::CourseRetranslation
