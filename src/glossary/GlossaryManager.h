#pragma once
// The user's glossary: English terms with the Chinese translation online
// translation must use. Kept in insertion order, stored as a JSON array under
// "glossary_terms" in the settings store after every change. The views list
// it as a model, one row per term. Main thread only.
#include "glossary/GlossaryTerm.h"

#include <QAbstractListModel>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <optional>
#include <vector>

namespace vox {

class GlossaryManager : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY termsChanged)

public:
    enum Role { IdRole = Qt::UserRole + 1, SourceRole, TargetRole, NoteRole };
    Q_ENUM(Role)

    // Starts empty, then reads the stored glossary once.
    explicit GlossaryManager(QObject *parent = nullptr);

    const std::vector<GlossaryTerm> &terms() const { return m_terms; }
    int count() const { return int(m_terms.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Adds a term unless the trimmed source or target is empty or the source
    // is already present (ignoring letter case).
    Q_INVOKABLE void add(const QString &source, const QString &target, const QString &note = {});
    // A warning to show before adding; changes nothing.
    std::optional<QString> conflictMessage(const QString &source, const QString &target) const;
    // The same for the views: an empty string when there is nothing to warn about.
    Q_INVOKABLE QString conflictWarning(const QString &source, const QString &target) const
    {
        return conflictMessage(source, target).value_or(QString());
    }
    // Removes every term with the given term's id.
    void remove(const GlossaryTerm &term);
    Q_INVOKABLE void removeById(const QString &id);
    // Replaces the whole list (the settings window's clearing).
    void setTerms(std::vector<GlossaryTerm> terms);
    Q_INVOKABLE void clear() { setTerms({}); }

    // Adds the rows of a Markdown term table whose English term is new;
    // returns how many were added. An unreadable or non-UTF-8 file adds none
    // and leaves the store untouched.
    Q_INVOKABLE int importFromMarkdown(const QUrl &url);
    static std::vector<GlossaryRow> parseMarkdownTable(const QString &text);

    // The most frequent longer words of `from` that are neither stop words nor
    // glossary sources, highest count first.
    std::vector<GlossaryCandidate> candidates(const QStringList &from, int limit) const;
    Q_INVOKABLE QVariantList candidateList(const QStringList &from, int limit) const;

    static const QSet<QString> &stopWords();
    // Larger Markdown files are not read.
    static constexpr qint64 kMaxImportBytes = 16 * 1024 * 1024;

Q_SIGNALS:
    void termsChanged();

private:
    void load();
    // Stores the list. `changed` tells whether the list differs from what was
    // loaded or last saved: while a stored value that could not be read is
    // still in the store, it is only replaced by a real change.
    void save(bool changed);
    bool containsSource(const QString &source) const;
    void append(GlossaryTerm term);

    std::vector<GlossaryTerm> m_terms;
    bool m_keepUnreadableStored = false;
};

} // namespace vox
