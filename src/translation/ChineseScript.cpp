#include "ChineseScript.h"

#include "platform/Diag.h"

#include <memory>
#include <mutex>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace vox {

namespace {

std::mutex g_mutex;

// Building the transform loads rule data (milliseconds); it is made once.
icu::Transliterator *transform()
{
    static std::unique_ptr<icu::Transliterator> t = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(
            icu::Transliterator::createInstance(icu::UnicodeString::fromUTF8("Hant-Hans"), UTRANS_FORWARD, status));
        if (U_FAILURE(status)) {
            diag(QStringLiteral("繁简转换不可用: ") + QString::fromLatin1(u_errorName(status)));
            made.reset();
        }
        return made;
    }();
    return t.get();
}

} // namespace

QString toSimplifiedChinese(const QString &text)
{
    if (text.isEmpty())
        return text;
    std::lock_guard lock(g_mutex);
    icu::Transliterator *t = transform();
    if (!t)
        return text;
    icu::UnicodeString u(reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()));
    t->transliterate(u);
    if (u.isEmpty())
        return text;
    return QString(reinterpret_cast<const QChar *>(u.getBuffer()), u.length());
}

} // namespace vox
