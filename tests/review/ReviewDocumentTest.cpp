// The HTML review document: escaping, sections, cards, bars and the file.
#include "ReviewFixture.h"
#include "review/DeepSeekReviewService.h"

#include <QRegularExpression>

using namespace vox;
using namespace vox::test;
namespace RS = vox::DeepSeekReviewService;

namespace {

const std::pair<QString, QString> kTexts[] = {
    {"Good afternoon, today we continue with cellular respiration.", "下午好，今天我们继续讲细胞呼吸。"},
    {"The Krebs cycle takes place in the mitochondrial matrix.", "克雷布斯循环发生在线粒体基质中。"},
    {"ATP synthase uses that gradient like a turbine.", "ATP 合酶像涡轮一样利用这个梯度。"},
};

// A review with every section, in the words of a real one.
ReviewResult fullResult()
{
    ReviewResult r;
    r.title = QStringLiteral("细胞呼吸 & <能量>");
    r.summary = QStringLiteral("本节课系统讲解了细胞呼吸的三个阶段：糖酵解、三羧酸循环与电子传递链，"
                               "并说明了 ATP 合酶如何利用质子梯度合成 ATP。");
    r.improvedEntries = {
        ImprovedEntry{kTexts[1].first, kTexts[1].second, "三羧酸循环（克雷布斯循环）发生在线粒体基质中。",
            "国内教材多称“三羧酸循环”"},
        ImprovedEntry{kTexts[2].first, kTexts[2].second, "ATP 合酶像涡轮机一样利用这一梯度。", QString()},
    };
    r.keyPoints = {QStringLiteral("糖酵解在细胞质中进行，净产生 2 个 ATP。"),
        QStringLiteral("电子传递链在线粒体内膜上建立质子梯度。")};
    r.vocabulary = {VocabularyItem{"glycolysis", "糖酵解", "糖酵解不需要氧气。"},
        VocabularyItem{"proton gradient", "质子梯度", ""}};
    r.topics = {TopicCount{"糖酵解", 12}, TopicCount{"三羧酸循环", 9}, TopicCount{"课堂安排", 0}};
    return r;
}

QStringList cardNumbers(const QString &html)
{
    QStringList out;
    static const QRegularExpression re(QStringLiteral("<h2><span class=\"num\">(\\d+)</span>"));
    for (auto it = re.globalMatch(html); it.hasNext();)
        out << it.next().captured(1);
    return out;
}

} // namespace

TEST(ReviewDocument, EscapingIsAppliedOnceToEveryCourseAndReviewText)
{
    EXPECT_EQ(RS::escapeHTML(QStringLiteral("Tom & Jerry's <b>\"x\"</b> &amp;")),
        QStringLiteral("Tom &amp; Jerry&#39;s &lt;b&gt;&quot;x&quot;&lt;/b&gt; &amp;amp;"));

    ReviewResult r = fullResult();
    r.title = QStringLiteral("Cells & Energy's <b>core</b>");
    r.summary = QStringLiteral("<script>alert(1)</script>");
    r.keyPoints = {QStringLiteral("a<b")};
    r.topics = {TopicCount{"x\"y", 1}};
    r.vocabulary = {VocabularyItem{"<w>", "<m>", "<e>"}};
    r.improvedEntries = {ImprovedEntry{"<s>", "<t>", "<i>", "<n>"}};
    CourseSession c = makeCourse(3);
    c.entries[0].source = QStringLiteral("<img src=x onerror=alert(1)>");
    c.entries[0].target = QStringLiteral("'甲'");
    const QString html = RS::buildHTML(c, r);

    EXPECT_TRUE(html.contains(QStringLiteral("<title>Cells &amp; Energy&#39;s &lt;b&gt;core&lt;/b&gt;</title>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<h1>Cells &amp; Energy&#39;s &lt;b&gt;core&lt;/b&gt;</h1>")));
    for (const char *raw :
        {"&amp;amp;", "<script>", "<img", "<b>", "<w>", "<m>", "<e>", "<s>", "<t>", "<i>", "<n>", "a<b"})
        EXPECT_FALSE(html.contains(QString::fromUtf8(raw))) << raw;
    EXPECT_TRUE(html.contains(QStringLiteral("<div class=\"bar-label\">x&quot;y</div>")));
    EXPECT_TRUE(html.contains(QStringLiteral("<div class=\"dst\">&#39;甲&#39;</div>")));
}

TEST(ReviewDocument, BarWidths)
{
    auto widths = [](std::vector<qint64> counts) {
        std::vector<TopicCount> t;
        for (auto c : counts)
            t.push_back(TopicCount{"t", c});
        return RS::topicBarWidths(t);
    };
    EXPECT_EQ(widths({10, 5, 0}), (std::vector<int>{100, 50, 3}));
    EXPECT_EQ(widths({0, 0}), (std::vector<int>{3, 3}));
    EXPECT_EQ(widths({1}), (std::vector<int>{100}));
    EXPECT_EQ(widths({3, 1}), (std::vector<int>{100, 33}));
    EXPECT_EQ(widths({100, 2, -4}), (std::vector<int>{100, 3, 3}));

    const QString chart = RS::topicsChartHTML({TopicCount{"甲", 10}, TopicCount{"乙", 0}});
    EXPECT_EQ(chart,
        QStringLiteral(
            "<div class=\"bar-row\">\n<div class=\"bar-label\">甲</div>\n<div class=\"bar-track\">"
            "<div class=\"bar-fill\" style=\"width:100%\"></div></div>\n<div class=\"bar-count\">10 条</div>\n</div>\n"
            "<div class=\"bar-row\">\n<div class=\"bar-label\">乙</div>\n<div class=\"bar-track\">"
            "<div class=\"bar-fill\" style=\"width:3%\"></div></div>\n<div class=\"bar-count\">0 条</div>\n</div>"));
}

TEST(ReviewDocument, CardsKeepTheirNumbersWhenSectionsAreLeftOut)
{
    EXPECT_EQ(cardNumbers(RS::buildHTML(makeCourse(3), fullResult())), (QStringList{"1", "2", "3", "4", "5", "6"}));
    ReviewResult r = fullResult();
    r.topics.clear();
    r.vocabulary.clear();
    const QString html = RS::buildHTML(makeCourse(3), r);
    EXPECT_EQ(cardNumbers(html), (QStringList{"1", "2", "4", "6"}));
    // An omitted card leaves an empty line between its neighbours.
    EXPECT_TRUE(
        html.contains(QStringLiteral("</ul>\n</div>\n\n<div class=\"card\">\n<h2><span class=\"num\">4</span>")));
    EXPECT_TRUE(
        html.contains(QStringLiteral("</table>\n</div>\n\n<div class=\"card\">\n<h2><span class=\"num\">6</span>")));
}

TEST(ReviewDocument, EmptyTextsAndLists)
{
    ReviewResult r;
    CourseSession c = makeCourse(0, 0);
    const QString html = RS::buildHTML(c, r);
    for (const char *shown : {"<title>课堂记录</title>", "<h1>课堂翻译记录</h1>", "<p class=\"empty\">暂无总结。</p>",
             "<p class=\"empty\">暂无要点。</p>", "<p class=\"empty\">未发现明显翻译问题，本节课译文质量良好。</p>",
             "<p class=\"empty\">本节课没有翻译记录。</p>"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(shown))) << shown;
    // A note of one space is not empty.
    const QString spaceNote = RS::reviewTableHTML({ImprovedEntry{"a", "b", "c", " "}});
    EXPECT_TRUE(spaceNote.contains(QStringLiteral("<div class=\"note\">💡  </div>")));
    const QString noNote = RS::reviewTableHTML({ImprovedEntry{"a", "b", "c", ""}});
    EXPECT_TRUE(noNote.contains(QStringLiteral("<td class=\"improved\">c</td>\n<td></td>\n</tr>")));
    EXPECT_EQ(RS::vocabularyHTML({VocabularyItem{"w", "m", ""}}),
        QStringLiteral("<div class=\"vocab\">\n<div class=\"vocab-item\">\n<div class=\"w\">w</div>\n<div "
                       "class=\"m\">m</div>\n\n</div>\n</div>"));
}

TEST(ReviewDocument, HeroDurationsAndPageFrame)
{
    const QString hero = RS::heroSection(makeCourse(3), fullResult());
    EXPECT_EQ(hero,
        QStringLiteral(
            "<div class=\"hero\">\n<h1>细胞呼吸 &amp; &lt;能量&gt;</h1>\n<div class=\"meta\">📅 2025年5月2日 · 🕐 14:03:09 ～ 15:05:14"
            "（时长 01:02:05）</div>\n<div>\n<span class=\"badge\">共 3 条翻译</span>\n"
            "<span class=\"badge\">2 处改进</span>\n<span class=\"badge\">2 个要点</span>\n"
            "<span class=\"badge\">DeepSeek 审阅</span>\n</div>\n</div>"));
    EXPECT_TRUE(RS::heroSection(makeCourse(0, 360000.9), fullResult()).contains(QStringLiteral("（时长 100:00:00）")));

    const QString html = RS::buildHTML(makeCourse(3), fullResult());
    EXPECT_TRUE(html.startsWith(QStringLiteral("<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"UTF-8\">\n")));
    EXPECT_TRUE(html.contains(QStringLiteral("</style>\n</head>\n<body>\n<div class=\"page\">\n") + hero));
    EXPECT_TRUE(html.endsWith(QStringLiteral("</div>\n</body>\n</html>")));
}

TEST(ReviewDocument, FullEntriesListEveryEntry)
{
    CourseSession c = makeCourse(900, 3600);
    const QString html = RS::fullEntriesHTML(c.entries);
    EXPECT_TRUE(html.startsWith(
        QStringLiteral("<details>\n<summary>展开 / 收起全部 900 条记录（点击切换）</summary>\n"
                       "<div style=\"margin-top:12px\">\n<div class=\"entry\">\n<div class=\"time\">14:03:10</div>\n"
                       "<div class=\"body\">\n<div class=\"src\">sentence 1</div>\n<div class=\"dst\">句子 "
                       "1</div>\n</div>\n</div>\n")));
    EXPECT_EQ(html.count(QStringLiteral("<div class=\"entry\">")), 900);
}

class ReviewDocumentFile : public ReviewFixture { };

TEST_F(ReviewDocumentFile, SavedInTheCourseFolderNamedByStart)
{
    // A file where the folder should be.
    QFile blocker(courseFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto blocked = RS::saveDocument(makeCourse(3), fullResult());
    ASSERT_FALSE(blocked.ok());
    EXPECT_FALSE(blocked.error().message.isEmpty());
    ASSERT_TRUE(QFile::remove(courseFolder()));

    auto saved = RS::saveDocument(makeCourse(3), fullResult());
    ASSERT_TRUE(saved.ok()) << saved.error().message.toStdString();
    EXPECT_EQ(saved.value(), courseFolder() + QStringLiteral("/2025-05-02 14-03-09 课堂记录.html"));
    EXPECT_EQ(QString::fromUtf8(readFile(saved.value())), RS::buildHTML(makeCourse(3), fullResult()));

    // Again: replaced, no temporary file left.
    ReviewResult other = fullResult();
    other.title = QStringLiteral("第二次");
    ASSERT_TRUE(RS::saveDocument(makeCourse(3), other).ok());
    EXPECT_TRUE(QString::fromUtf8(readFile(saved.value())).contains(QStringLiteral("<h1>第二次</h1>")));
    EXPECT_EQ(QDir(courseFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// A realistic document with every section, left in the build tree as
// review_sample.html for scripts/render_review.sh to render. What it must
// contain is checked by the tests above.
TEST_F(ReviewDocumentFile, SampleDocumentWithEverySection)
{
    CourseSession c = makeCourse(3);
    for (size_t i = 0; i < c.entries.size(); ++i)
        std::tie(c.entries[i].source, c.entries[i].target) = kTexts[i];
    const auto saved = RS::saveDocument(c, fullResult());
    ASSERT_TRUE(saved.ok());
    if (const QString dir = qEnvironmentVariable("VOX_BUILD_DIR"); !dir.isEmpty()) {
        const QString out = QDir(dir).filePath(QStringLiteral("review_sample.html"));
        QFile::remove(out);
        EXPECT_TRUE(QFile::copy(saved.value(), out));
    }
}
