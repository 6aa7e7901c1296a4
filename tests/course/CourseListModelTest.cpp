// The course list's search hits: the sentences a course was found by, the
// keyword highlighted in text that stays plain text.
#include "course/CourseListModel.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

CourseSession courseOf(std::vector<std::pair<QString, QString>> texts)
{
    const Date start = localDate(2025, 1, 1, 8, 0, 0);
    std::vector<TranslationEntry> entries;
    double t = 1;
    for (auto &[src, tgt] : texts)
        entries.emplace_back(start.addSeconds(t++), src, tgt, t);
    return CourseSession(start, start.addSeconds(600), std::move(entries), std::nullopt);
}

QString mark(const QString &s) { return QStringLiteral("<b><font color=\"#ff0000\">%1</font></b>").arg(s); }

struct CourseHits : ::testing::Test {
    CourseListModel model;
    CourseSession course = courseOf({
        {"Use <b> & keep the BOLD", "加粗 bold"},
        {"nothing here", "无关"},
        {"bold again", "再次"},
        {"x", "bold 粗体"}, // the Chinese side only
        {"Bold four", "四"},
        {"bold five", "五"},
    });
    void SetUp() override { model.setHighlightColor("#ff0000"); }
    QVariant cell(int role) const { return model.index(0).data(role); }
};

} // namespace

TEST_F(CourseHits, TheFirstThreeSentencesHighlightedEscapedAndTheRestCounted)
{
    model.setCourses({course}, QStringLiteral(" bold "));
    const QStringList lines = cell(CourseListModel::MatchesRole).toStringList();
    ASSERT_EQ(lines.size(), 3);
    // The sentence's own markup is text; English in any case; both sides when both hold it.
    EXPECT_EQ(lines[0], "Use &lt;b&gt; &amp; keep the " + mark("BOLD") + " → 加粗 " + mark("bold"));
    EXPECT_EQ(lines[1], mark("bold") + " again");
    EXPECT_EQ(lines[2], mark("bold") + " 粗体");
    EXPECT_EQ(cell(CourseListModel::MatchCountRole).toInt(), 5);
    EXPECT_EQ(cell(CourseListModel::MoreMatchesRole).toString(), "另有 2 句");

    // The Chinese side compares exactly, as the search does.
    model.setCourses({course}, QStringLiteral("BOLD"));
    EXPECT_EQ(cell(CourseListModel::MatchCountRole).toInt(), 4);

    // Without a keyword the rows list nothing.
    model.setCourses({course});
    EXPECT_TRUE(cell(CourseListModel::MatchesRole).toStringList().isEmpty());
    EXPECT_EQ(cell(CourseListModel::MatchCountRole).toInt(), 0);
    EXPECT_EQ(cell(CourseListModel::MoreMatchesRole).toString(), "");
}

TEST_F(CourseHits, MarkupAndEntitiesNeverMatchAndLongSentencesStartNearTheirHit)
{
    EXPECT_EQ(CourseListModel::highlighted("a <b> tag", "<b>", ""), "a <b>&lt;b&gt;</b> tag");
    EXPECT_EQ(CourseListModel::highlighted("R&D amp", "amp", ""), "R&amp;D <b>amp</b>");
    EXPECT_EQ(CourseListModel::highlighted("\"quoted\"", "quot", ""), "&quot;<b>quot</b>ed&quot;");
    const QString lead = QStringLiteral("x").repeated(60);
    EXPECT_EQ(CourseListModel::highlighted(lead + "key", "KEY", ""),
              "…" + QStringLiteral("x").repeated(20) + "<b>key</b>");
}

TEST_F(CourseHits, ANewKeywordOverTheSameRowsUpdatesTheirHits)
{
    model.setCourses({course}, QStringLiteral("bold"));
    int updates = 0;
    QObject::connect(&model, &QAbstractItemModel::dataChanged, [&](const QModelIndex &, const QModelIndex &,
                                                                  const QList<int> &roles) {
        updates += roles.contains(CourseListModel::MatchesRole);
    });
    model.setCourses({course}, QStringLiteral("again"));
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(cell(CourseListModel::MatchesRole).toStringList(), QStringList{"bold " + mark("again")});
    model.setHighlightColor("#00ff00");
    EXPECT_EQ(updates, 2);
}
