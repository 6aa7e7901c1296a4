#include "ModelValues.h"

#include <QDateTime>
#include <QList>
#include <QMetaProperty>

namespace vox::ui {

namespace {
std::optional<TranslationEntry> entryFromMap(const QVariantMap &m)
{
    if (!m.contains(QStringLiteral("source")))
        return std::nullopt;
    TranslationEntry e;
    if (auto id = QUuid::fromString(m.value(QStringLiteral("id")).toString()); !id.isNull())
        e.id = id;
    const QVariant ts = m.value(QStringLiteral("timestamp"));
    if (ts.metaType() == QMetaType::fromType<QDateTime>())
        e.timestamp = Date::fromQDateTime(ts.toDateTime());
    else if (ts.metaType() == QMetaType::fromType<Date>())
        e.timestamp = ts.value<Date>();
    else
        e.timestamp = Date{ts.toDouble()};
    e.source = m.value(QStringLiteral("source")).toString();
    e.target = m.value(QStringLiteral("target")).toString();
    e.audioTime = m.value(QStringLiteral("audioTime")).toDouble();
    return e;
}

QVariantMap gadgetToMap(const QVariant &v)
{
    QVariantMap m;
    const QMetaObject *mo = v.metaType().metaObject();
    if (!mo)
        return m;
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        m.insert(QString::fromLatin1(p.name()), p.readOnGadget(v.constData()));
    }
    return m;
}

QVariantMap asMap(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<QVariantMap>())
        return v.toMap();
    if (v.metaType().flags() & QMetaType::IsGadget)
        return gadgetToMap(v);
    if (auto *o = v.value<QObject *>()) {
        QVariantMap m;
        const QMetaObject *mo = o->metaObject();
        for (int i = 0; i < mo->propertyCount(); ++i)
            m.insert(QString::fromLatin1(mo->property(i).name()), mo->property(i).read(o));
        return m;
    }
    return v.toMap();
}
} // namespace

std::vector<TranslationEntry> entriesFromVariant(const QVariant &v)
{
    if (!v.isValid())
        return {};
    if (v.metaType() == QMetaType::fromType<std::vector<TranslationEntry>>())
        return v.value<std::vector<TranslationEntry>>();
    if (v.metaType() == QMetaType::fromType<QList<TranslationEntry>>()) {
        const auto l = v.value<QList<TranslationEntry>>();
        return {l.begin(), l.end()};
    }
    std::vector<TranslationEntry> out;
    const QVariantList list = v.toList();
    out.reserve(size_t(list.size()));
    for (const QVariant &item : list) {
        if (item.metaType() == QMetaType::fromType<TranslationEntry>()) {
            out.push_back(item.value<TranslationEntry>());
            continue;
        }
        if (auto e = entryFromMap(asMap(item)))
            out.push_back(std::move(*e));
    }
    return out;
}

std::optional<CourseSession> courseFromVariant(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    if (v.metaType() == QMetaType::fromType<std::optional<CourseSession>>())
        return v.value<std::optional<CourseSession>>();
    if (v.metaType() == QMetaType::fromType<CourseSession>())
        return v.value<CourseSession>();
    const QVariantMap m = asMap(v);
    if (m.isEmpty())
        return std::nullopt;
    CourseSession c;
    c.startDate = Date{m.value(QStringLiteral("startDate")).toDouble()};
    c.endDate = Date{m.value(QStringLiteral("endDate")).toDouble()};
    c.entries = entriesFromVariant(m.value(QStringLiteral("entries")));
    return c;
}

QStringList stringsFromVariant(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<std::vector<QString>>()) {
        const auto l = v.value<std::vector<QString>>();
        return QStringList(l.begin(), l.end());
    }
    return v.toStringList();
}

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

PermissionState permissionFromVariant(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<QString>()) {
        const QString s = v.toString().toLower();
        if (s == QLatin1String("granted") || s == QLatin1String("authorized"))
            return PermissionState::Granted;
        if (s == QLatin1String("denied"))
            return PermissionState::Denied;
        if (s == QLatin1String("restricted"))
            return PermissionState::Restricted;
        return PermissionState::NotDetermined;
    }
    bool ok = false;
    const int n = v.toInt(&ok);
    if (!ok || n < 0 || n > 3)
        return PermissionState::NotDetermined;
    return PermissionState(n);
}

} // namespace vox::ui
