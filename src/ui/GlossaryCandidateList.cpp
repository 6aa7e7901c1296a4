#include "GlossaryCandidateList.h"

namespace vox {

GlossaryCandidateList::GlossaryCandidateList(QObject *parent) : QAbstractListModel(parent) {}

void GlossaryCandidateList::setCandidates(std::vector<GlossaryCandidate> candidates)
{
    if (candidates == m_candidates)
        return;
    const bool countChanges = candidates.size() != m_candidates.size();
    beginResetModel();
    m_candidates = std::move(candidates);
    endResetModel();
    if (countChanges)
        emit countChanged();
}

int GlossaryCandidateList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant GlossaryCandidateList::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const GlossaryCandidate &c = m_candidates[size_t(index.row())];
    switch (role) {
    case WordRole:
        return c.word;
    case CountRole:
        return c.count;
    case LabelRole:
    case Qt::DisplayRole:
        return QStringLiteral("%1 ×%2").arg(c.word).arg(c.count);
    case HelpRole:
        return QStringLiteral("填入「%1」（本节课出现 %2 次）").arg(c.word).arg(c.count);
    default:
        return {};
    }
}

QHash<int, QByteArray> GlossaryCandidateList::roleNames() const
{
    return {{WordRole, "word"}, {CountRole, "count"}, {LabelRole, "label"}, {HelpRole, "help"}};
}

} // namespace vox
