#pragma once
// The glossary suggestions of the current lecture as chips: rows "word",
// "count", "label" ("eigenvalue ×3") and "help" (the chip's tooltip).
#include "glossary/GlossaryTerm.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>
#include <vector>

namespace vox {

class GlossaryCandidateList : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("TranslationSettingsModel.candidates")
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role { WordRole = Qt::UserRole + 1, CountRole, LabelRole, HelpRole };
    explicit GlossaryCandidateList(QObject *parent = nullptr);

    // Resets the rows when the suggestions differ from the shown ones.
    void setCandidates(std::vector<GlossaryCandidate> candidates);
    const std::vector<GlossaryCandidate> &candidates() const { return m_candidates; }
    int count() const { return int(m_candidates.size()); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void countChanged();

private:
    std::vector<GlossaryCandidate> m_candidates;
};

} // namespace vox
