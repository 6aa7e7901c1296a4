#pragma once
// One glossary entry: an English term and the Chinese translation that online
// translation must use, with a free remark.
#include <QHashFunctions>
#include <QJsonObject>
#include <QString>
#include <QUuid>
#include <optional>

namespace vox {

struct GlossaryTerm {
    QUuid id = QUuid::createUuid();
    QString source; // English, unique in a glossary ignoring letter case
    QString target; // Chinese
    QString note;   // never sent to translation

    bool operator==(const GlossaryTerm &) const = default;

    // {"id": "<hyphenated uuid>", "source": ..., "target": ..., "note": ...}
    QJsonObject toJson() const;
    // All four keys required as strings, "id" a hyphenated UUID.
    static std::optional<GlossaryTerm> fromJson(const QJsonValue &v);
};

inline size_t qHash(const GlossaryTerm &t, size_t seed = 0)
{
    return qHashMulti(seed, t.id, t.source, t.target, t.note);
}

// One row of a Markdown term table.
struct GlossaryRow {
    QString source;
    QString target;
    QString note;
    bool operator==(const GlossaryRow &) const = default;
};

// A suggested English word and how often it occurred.
struct GlossaryCandidate {
    QString word;
    int count = 0;
    bool operator==(const GlossaryCandidate &) const = default;
};

} // namespace vox
