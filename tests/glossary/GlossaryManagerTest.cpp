#include "glossary/GlossaryManager.h"
#include "support/TestEnv.h"

#include <QAbstractItemModelTester>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace vox;

namespace {

const QString kKey = QString::fromLatin1(Keys::GlossaryTerms);
const QString kRepeatedSource = QStringLiteral("该英文词汇已在术语表中（同一原文映射到不同译文会降低一致性）。");

QByteArray stored(test::ScopedSettings &s)
{
    return (*s).bytes(kKey);
}

} // namespace

TEST(GlossaryManager, AddTrimsAndRejectsRepeatedSources)
{
    test::ScopedSettings store;
    GlossaryManager g;
    EXPECT_TRUE(g.terms().empty());
    EXPECT_FALSE(store->contains(kKey));

    g.add(QStringLiteral("  gradient \n"), QStringLiteral("\t梯度 "), QStringLiteral(" 数学 "));
    ASSERT_EQ(g.terms().size(), 1u);
    EXPECT_EQ(g.terms()[0].source, "gradient");
    EXPECT_EQ(g.terms()[0].target, QStringLiteral("梯度"));
    EXPECT_EQ(g.terms()[0].note, QStringLiteral("数学"));

    g.add(QStringLiteral("GRADIENT"), QStringLiteral("坡度"));
    g.add(QStringLiteral("Ünïcode"), QStringLiteral("统一码"));
    g.add(QStringLiteral("ÜNÏCODE"), QStringLiteral("另一个"));
    g.add(QStringLiteral("   "), QStringLiteral("空"));
    g.add(QStringLiteral("empty target"), QStringLiteral(" \n"));
    ASSERT_EQ(g.terms().size(), 2u);
    EXPECT_EQ(g.conflictMessage(QStringLiteral(" Gradient "), QStringLiteral("梯度")), kRepeatedSource);

    // A target already in use (the settings tests check the warning) does not stop adding.
    EXPECT_EQ(g.conflictMessage(QStringLiteral("slope"), QString()), std::nullopt);
    g.add(QStringLiteral("slope"), QStringLiteral("梯度"));
    EXPECT_EQ(g.terms().size(), 3u);

    // The list survives a restart, in order and with its ids.
    GlossaryManager again;
    EXPECT_EQ(again.terms(), g.terms());
}

TEST(GlossaryManager, RemoveAndClearSave)
{
    test::ScopedSettings store;
    GlossaryManager g;
    QAbstractItemModelTester rows(&g, QAbstractItemModelTester::FailureReportingMode::Fatal);
    int changes = 0;
    QObject::connect(&g, &GlossaryManager::termsChanged, [&] { ++changes; });
    g.add(QStringLiteral("alpha"), QStringLiteral("阿尔法"));
    g.add(QStringLiteral("beta"), QStringLiteral("贝塔"));
    const GlossaryTerm alpha = g.terms()[0];

    store->remove(kKey);
    g.remove(GlossaryTerm{}); // not in the list: nothing changes, still saved
    EXPECT_EQ(g.terms().size(), 2u);
    EXPECT_TRUE(store->contains(kKey));

    g.remove(alpha);
    ASSERT_EQ(g.terms().size(), 1u);
    EXPECT_EQ(g.terms()[0].source, "beta");
    EXPECT_EQ(GlossaryManager().terms(), g.terms());

    g.removeById(g.terms()[0].id.toString());
    EXPECT_TRUE(g.terms().empty());
    EXPECT_EQ(stored(store), "[]");
    EXPECT_EQ(changes, 4);

    g.add(QStringLiteral("gamma"), QStringLiteral("伽马"));
    g.clear();
    EXPECT_EQ(g.rowCount(), 0);
    EXPECT_TRUE(GlossaryManager().terms().empty());
}

TEST(GlossaryManager, StoredFormat)
{
    test::ScopedSettings store;
    GlossaryManager g;
    g.add(QStringLiteral("vector"), QStringLiteral("向量"), QStringLiteral("线性代数"));
    const QJsonObject o = QJsonDocument::fromJson(stored(store)).array().at(0).toObject();
    EXPECT_FALSE(stored(store).contains('\n')); // compact
    EXPECT_EQ(o.keys(), QStringList({"id", "note", "source", "target"}));
    EXPECT_EQ(o["id"].toString(), g.terms()[0].id.toString(QUuid::WithoutBraces));
    EXPECT_EQ(g.index(0).data(GlossaryManager::NoteRole).toString(), QStringLiteral("线性代数"));

    // Upper-case ids and extra keys are read.
    store->setValue(kKey,
        QByteArray("[{\"note\":\"\",\"target\":\"熵\",\"extra\":true,"
                   "\"id\":\"6F1D4B8E-0000-4000-8000-000000000001\",\"source\":\"entropy\"}]"));
    GlossaryManager reread;
    ASSERT_EQ(reread.terms().size(), 1u);
    EXPECT_EQ(reread.terms()[0].id, QUuid::fromString(QStringLiteral("6f1d4b8e-0000-4000-8000-000000000001")));
}

TEST(GlossaryManager, UnreadableStoredValueIsKeptUntilARealChange)
{
    const QByteArray deep = QByteArray(5000, '[') + QByteArray(5000, ']');
    const QByteArray big = "[" + QByteArray(2 * 1024 * 1024, ' ') + "{\"id\":1}]";
    const QList<QByteArray> bad = {
        "not json",
        "{\"id\":\"x\"}",
        "[{\"id\":\"6f1d4b8e-0000-4000-8000-000000000001\",\"source\":\"a\",\"target\":\"b\"}]", // note missing
        "[{\"id\":\"nope\",\"source\":\"a\",\"target\":\"b\",\"note\":\"\"}]",
        QByteArray("\xff\xfe[]", 4),
        deep,
        big,
    };
    for (const QByteArray &value : bad) {
        SCOPED_TRACE(value.left(60).toStdString());
        test::ScopedSettings store;
        store->setValue(kKey, value);
        GlossaryManager g;
        EXPECT_TRUE(g.terms().empty());

        // Nothing the user did changed the glossary: the bytes stay.
        g.remove(GlossaryTerm{});
        g.clear();
        EXPECT_EQ(stored(store), value);

        g.add(QStringLiteral("term"), QStringLiteral("术语"));
        ASSERT_EQ(g.terms().size(), 1u);
        EXPECT_EQ(GlossaryManager().terms(), g.terms());
    }
}
