#include "glossary/GlossaryManager.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;

namespace {

const QString kKey = QString::fromLatin1(Keys::GlossaryTerms);

std::vector<GlossaryRow> rows(const char *utf8)
{
    return GlossaryManager::parseMarkdownTable(QString::fromUtf8(utf8));
}

class GlossaryImport : public ::testing::Test {
protected:
    QUrl writeFile(const QString &name, const QByteArray &content)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(test::writeFile(path, content));
        return QUrl::fromLocalFile(path);
    }

    test::ScopedSettings store;
    QTemporaryDir dir;
    GlossaryManager g;
};

} // namespace

TEST(GlossaryMarkdown, ParsesTableRows)
{
    EXPECT_TRUE(rows("").empty());
    const auto r = rows("# 术语\n"
                        "| 英文 | 中文 | 注释 |\n"
                        "|------|------|------|\n"
                        "  \t| gradient | 梯度 | 数学 | extra |\r\n"
                        "| descent | 下降 |\r"
                        "| loss | 损失\u2028"
                        "not a row | x | y |\n"
                        "| | 空 |\n"
                        "| empty target | |\n"
                        "| a---b | 跳过 |\n"
                        "| one cell |\n"
                        "|英文|别的|\n"
                        "|other|中文|\n");
    const std::vector<GlossaryRow> expected = {
        {"gradient", QStringLiteral("梯度"), QStringLiteral("数学")},
        {"descent", QStringLiteral("下降"), ""},
        {"loss", QStringLiteral("损失"), ""},
    };
    EXPECT_EQ(r, expected);
}

TEST_F(GlossaryImport, AddsNewTermsOnly)
{
    const QUrl url = writeFile(QStringLiteral("词库 1.md"),
        "| 英文 | 中文 | 注释 |\n| --- | --- | --- |\n"
        "| Gradient | 梯度 | 斜率向量 |\n| gradient | 坡度 |\n"
        "| entropy | 熵 |\n");
    g.add(QStringLiteral("ENTROPY"), QStringLiteral("信息熵"));
    EXPECT_EQ(g.importFromMarkdown(url), 1);
    ASSERT_EQ(g.terms().size(), 2u);
    EXPECT_EQ(g.terms()[1].source, "Gradient");
    EXPECT_EQ(g.terms()[1].note, QStringLiteral("斜率向量"));
    EXPECT_EQ(GlossaryManager().terms(), g.terms());

    // Nothing added still saves the (unchanged) list.
    store->remove(kKey);
    EXPECT_EQ(g.importFromMarkdown(url), 0);
    EXPECT_TRUE(store->contains(kKey));

    // A byte order mark and Windows line ends do not hide the first row; a
    // bare path works like a file URL.
    const QUrl bom = writeFile("bom.md", "\xEF\xBB\xBF| bom | \xE5\xAD\x97 |\r\n| crlf | \xE8\xA1\x8C |\r\n");
    EXPECT_EQ(g.importFromMarkdown(QUrl(bom.toLocalFile())), 2);
}

TEST_F(GlossaryImport, UnreadableFilesImportNothingAndDoNotSave)
{
    g.add(QStringLiteral("kept"), QStringLiteral("保留"));
    store->setValue(kKey, QByteArray("sentinel"));

    const QUrl invalidUtf8 = writeFile("bad.md", "| ok | \xe6\xa2 |\n| fine | \xff |\n");
    const QUrl truncated = writeFile("cut.md", "| word | \xe6\xa2");
    EXPECT_EQ(g.importFromMarkdown(invalidUtf8), 0);
    EXPECT_EQ(g.importFromMarkdown(truncated), 0);
    EXPECT_EQ(g.importFromMarkdown(QUrl::fromLocalFile(dir.filePath("missing.md"))), 0);
    EXPECT_EQ(g.importFromMarkdown(QUrl::fromLocalFile(dir.path())), 0); // a folder
    EXPECT_EQ(g.importFromMarkdown(QUrl("https://example.invalid/terms.md")), 0);
    EXPECT_EQ(g.terms().size(), 1u);
    EXPECT_EQ(store->bytes(kKey), QByteArray("sentinel"));

    // A file too large to be a term table is not read.
    const QUrl huge = writeFile("huge.md", QByteArray(GlossaryManager::kMaxImportBytes + 1, '|'));
    EXPECT_EQ(g.importFromMarkdown(huge), 0);
    EXPECT_EQ(store->bytes(kKey), QByteArray("sentinel"));
}

TEST(GlossaryCandidates, CountsLongerWordsThatAreNotStopWordsOrTerms)
{
    test::ScopedSettings store;
    GlossaryManager g;

    const auto c = g.candidates({QStringLiteral("Gradient descent uses the gradient, gradients and GRADIENT's")}, 8);
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0], (GlossaryCandidate{"gradient", 3}));
    const std::vector<GlossaryCandidate> rest(c.begin() + 1, c.end());
    for (const auto &w : {"descent", "uses", "gradients"})
        EXPECT_NE(std::find(rest.begin(), rest.end(), GlossaryCandidate{w, 1}), rest.end()) << w;
    EXPECT_TRUE(g.candidates({QStringLiteral("gradient descent")}, 0).empty());

    // Stop words of four letters and more, digits and hyphens as separators,
    // other scripts, and glossary sources in any letter case.
    g.add(QStringLiteral("Descent"), QStringLiteral("下降"));
    const auto d = g.candidates({QStringLiteral("because although really WITHOUT descent DESCENT"),
                                    QStringLiteral("matrix-vector matrix2vector Überfluss überfluss 𝐀𝐁𝐂𝐃")},
        8);
    const std::vector<GlossaryCandidate> expected = {
        {"matrix", 2}, {"vector", 2}, {QStringLiteral("überfluss"), 2}, {QStringLiteral("𝐀𝐁𝐂𝐃"), 1}};
    EXPECT_EQ(d, expected);
    EXPECT_EQ(g.candidates({QStringLiteral("alpha beta gamma delta")}, 2).size(), 2u);
    EXPECT_EQ(g.candidateList({QStringLiteral("tensor tensor")}, 8).at(0).toMap()["count"].toInt(), 2);
}
