#include "EntryRows.h"

#include <QUuid>

namespace vox::ui {

QString timeOfDay(const Date &d)
{
    static const QString format = QStringLiteral("HH:mm:ss");
    return d.toQDateTime().toString(format);
}

QVariantMap entryToMap(const TranslationEntry &e)
{
    return QVariantMap{{QStringLiteral("id"), e.id.toString(QUuid::WithoutBraces)},
                       {QStringLiteral("timestamp"), timeOfDay(e.timestamp)},
                       {QStringLiteral("source"), e.source},
                       {QStringLiteral("target"), e.target},
                       {QStringLiteral("audioTime"), e.audioTime}};
}

std::vector<TranslationEntry> lastEntries(const std::vector<TranslationEntry> &all, int count)
{
    const size_t n = size_t(count < 1 ? 1 : (count > 100 ? 100 : count));
    if (all.size() <= n)
        return all;
    return {all.end() - std::ptrdiff_t(n), all.end()};
}

} // namespace vox::ui
