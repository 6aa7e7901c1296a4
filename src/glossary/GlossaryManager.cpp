#include "GlossaryManager.h"

#include "platform/Diag.h"
#include "platform/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QVariantMap>
#include <algorithm>

namespace vox {

namespace {

const QString kId = QStringLiteral("id");
const QString kSource = QStringLiteral("source");
const QString kTarget = QStringLiteral("target");
const QString kNote = QStringLiteral("note");

// A hyphenated UUID ("xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx"), nothing else.
std::optional<QUuid> parseUuid(const QString &s)
{
    if (s.size() != 36)
        return std::nullopt;
    const QUuid id = QUuid::fromString(s);
    if (id.isNull() && s != QLatin1String("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

std::optional<std::vector<GlossaryTerm>> decodeTerms(const QByteArray &data)
{
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &err);
    if (err.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray arr = doc.array();
    std::vector<GlossaryTerm> terms;
    terms.reserve(size_t(arr.size()));
    for (const QJsonValue &v : arr) {
        auto t = GlossaryTerm::fromJson(v);
        if (!t)
            return std::nullopt;
        terms.push_back(std::move(*t));
    }
    return terms;
}

} // namespace

QJsonObject GlossaryTerm::toJson() const
{
    return QJsonObject{
        {kId, id.toString(QUuid::WithoutBraces)},
        {kSource, source},
        {kTarget, target},
        {kNote, note},
    };
}

std::optional<GlossaryTerm> GlossaryTerm::fromJson(const QJsonValue &v)
{
    if (!v.isObject())
        return std::nullopt;
    const QJsonObject o = v.toObject();
    const QJsonValue id = o.value(kId), src = o.value(kSource), tgt = o.value(kTarget), note = o.value(kNote);
    if (!id.isString() || !src.isString() || !tgt.isString() || !note.isString())
        return std::nullopt;
    const auto uuid = parseUuid(id.toString());
    if (!uuid)
        return std::nullopt;
    GlossaryTerm t;
    t.id = *uuid;
    t.source = src.toString();
    t.target = tgt.toString();
    t.note = note.toString();
    return t;
}

GlossaryManager::GlossaryManager(QObject *parent) : QAbstractListModel(parent)
{
    load();
}

int GlossaryManager::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant GlossaryManager::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const GlossaryTerm &t = m_terms[size_t(index.row())];
    switch (role) {
    case IdRole:
        return t.id.toString(QUuid::WithoutBraces);
    case SourceRole:
        return t.source;
    case TargetRole:
        return t.target;
    case NoteRole:
        return t.note;
    default:
        return {};
    }
}

QHash<int, QByteArray> GlossaryManager::roleNames() const
{
    return {{IdRole, kId.toUtf8()}, {SourceRole, kSource.toUtf8()}, {TargetRole, kTarget.toUtf8()},
            {NoteRole, kNote.toUtf8()}};
}

void GlossaryManager::append(GlossaryTerm term)
{
    beginInsertRows({}, count(), count());
    m_terms.push_back(std::move(term));
    endInsertRows();
}

bool GlossaryManager::containsSource(const QString &source) const
{
    return std::any_of(m_terms.begin(), m_terms.end(), [&](const GlossaryTerm &t) {
        return t.source.compare(source, Qt::CaseInsensitive) == 0;
    });
}

void GlossaryManager::add(const QString &source, const QString &target, const QString &note)
{
    const QString s = source.trimmed(), t = target.trimmed(), n = note.trimmed();
    if (s.isEmpty() || t.isEmpty() || containsSource(s))
        return;
    GlossaryTerm term;
    term.source = s;
    term.target = t;
    term.note = n;
    append(std::move(term));
    Q_EMIT termsChanged();
    save(true);
}

std::optional<QString> GlossaryManager::conflictMessage(const QString &source, const QString &target) const
{
    const QString s = source.trimmed(), t = target.trimmed();
    if (containsSource(s))
        return QStringLiteral("该英文词汇已在术语表中（同一原文映射到不同译文会降低一致性）。");
    if (t.isEmpty())
        return std::nullopt;
    for (const auto &term : m_terms) {
        if (term.target == t)
            return QStringLiteral("译文「") + t + QStringLiteral("」已被「") + term.source +
                   QStringLiteral("」使用，请确认是否要与现有术语区分。");
    }
    return std::nullopt;
}

void GlossaryManager::remove(const GlossaryTerm &term)
{
    bool changed = false;
    for (int row = count() - 1; row >= 0; --row) {
        if (m_terms[size_t(row)].id != term.id)
            continue;
        beginRemoveRows({}, row, row);
        m_terms.erase(m_terms.begin() + row);
        endRemoveRows();
        changed = true;
    }
    if (changed)
        Q_EMIT termsChanged();
    save(changed);
}

void GlossaryManager::removeById(const QString &id)
{
    GlossaryTerm t;
    t.id = QUuid::fromString(id);
    if (t.id.isNull())
        return;
    remove(t);
}

void GlossaryManager::setTerms(std::vector<GlossaryTerm> terms)
{
    const bool changed = terms != m_terms;
    if (changed) {
        beginResetModel();
        m_terms = std::move(terms);
        endResetModel();
        Q_EMIT termsChanged();
    }
    save(changed);
}

void GlossaryManager::load()
{
    Settings &store = settings();
    if (!store.contains(QString::fromLatin1(Keys::GlossaryTerms)))
        return;
    const QByteArray data = store.bytes(QString::fromLatin1(Keys::GlossaryTerms));
    auto terms = decodeTerms(data);
    if (!terms) {
        m_keepUnreadableStored = true;
        diag(QStringLiteral("术语表存储数据无法解析（%1 字节），已忽略并保留原数据").arg(data.size()));
        return;
    }
    beginResetModel();
    m_terms = std::move(*terms);
    endResetModel();
    Q_EMIT termsChanged();
}

void GlossaryManager::save(bool changed)
{
    if (m_keepUnreadableStored && !changed)
        return;
    QJsonArray arr;
    for (const auto &t : m_terms)
        arr.append(t.toJson());
    const QByteArray data = QJsonDocument(arr).toJson(QJsonDocument::Compact);
    if (data.isEmpty())
        return;
    settings().setValue(QString::fromLatin1(Keys::GlossaryTerms), data);
    m_keepUnreadableStored = false;
}

} // namespace vox
