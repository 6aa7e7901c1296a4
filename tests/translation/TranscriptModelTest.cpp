#include "translation/TranscriptModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace vox;

namespace {

TranslationEntry sentence(int n)
{
    return TranslationEntry(Date{double(n)}, QStringLiteral("S%1").arg(n), QStringLiteral("译%1").arg(n), n);
}

QStringList column(const QAbstractItemModel &m, int role)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out.append(m.index(r, 0).data(role).toString());
    return out;
}

} // namespace

TEST(TranscriptModelTest, RowsFollowAppendsTheLimitAndChangedTranslationsNewestFirst)
{
    TranscriptModel all(3);
    LatestEntriesModel latest(2);
    latest.setSource(&all);
    const auto fatal = QAbstractItemModelTester::FailureReportingMode::Fatal;
    QAbstractItemModelTester checkAll(&all, fatal), checkLatest(&latest, fatal);
    QSignalSpy inserted(&all, &QAbstractItemModel::rowsInserted), removed(&all, &QAbstractItemModel::rowsRemoved),
        changed(&latest, &QAbstractItemModel::dataChanged), reset(&latest, &QAbstractItemModel::modelReset);
    for (int n = 1; n <= 5; ++n)
        all.append(sentence(n));
    EXPECT_EQ(inserted.count(), 5);
    EXPECT_EQ(removed.count(), 2);
    const int source = TranscriptModel::SourceRole, target = TranscriptModel::TargetRole;
    EXPECT_EQ(column(all, source), (QStringList{"S3", "S4", "S5"}));
    EXPECT_EQ(column(latest, source), (QStringList{"S5", "S4"}));

    latest.setLimit(10);
    EXPECT_EQ(column(latest, source), (QStringList{"S5", "S4", "S3"}));
    std::vector<TranslationEntry> retranslated(all.entries().begin(), all.entries().end());
    retranslated[1].target = QStringLiteral("新译");
    all.replace(retranslated);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 1);
    all.setTarget(0, QStringLiteral("补译")); // a placeholder translated at last
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed[1][0].toModelIndex().row(), 2);
    EXPECT_EQ(column(latest, target), (QStringList{"译5", "新译", "补译"}));
    EXPECT_EQ(reset.count(), 0); // row signals only

    latest.setLimit(1);
    all.append(sentence(6));
    EXPECT_EQ(column(latest, source), QStringList{"S6"});
}
