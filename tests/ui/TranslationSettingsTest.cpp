// The translation settings sheet: stored values written as they change, the
// glossary section's add/conflict/suggestion/import/delete paths, the engine
// picker and the local translation service line.
#include "WindowTestHarness.h"
#include "platform/Settings.h"
#include "ui/TranslationSettingsModel.h"

#include <QFile>
#include <QHttpServer>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

QString key(const char *k)
{
    return QString::fromLatin1(k);
}

struct SettingsFixture : ::testing::Test {
    WindowHarness h;
    TranslationSettingsModel *model = nullptr;

    void open()
    {
        ASSERT_NE(h.load(QStringLiteral("TranslationSettingsView.qml"), QSize(500, 560)), nullptr)
            << h.lastError.toStdString();
        model = h.view->property("model").value<TranslationSettingsModel *>();
        ASSERT_NE(model, nullptr);
    }
    QString field(const char *name) const { return h.text(QString::fromLatin1(name)); }
};

TranslationEntry entry(const QString &source)
{
    return TranslationEntry(Date::fromUnix(1'780'000'000.0), source, QStringLiteral("译文"), 1);
}

} // namespace

TEST_F(SettingsFixture, StoredCountIsClampedWhenTheSheetOpens)
{
    h.store->setValue(key(Keys::VisibleTranslationCount), 0);
    open();
    EXPECT_EQ(h.store->integer(key(Keys::VisibleTranslationCount)), 1);
    EXPECT_EQ(field("countLabel"), QStringLiteral("主界面显示最近 1 条"));
    EXPECT_FALSE(h.find(QStringLiteral("countDown"))->isEnabled());
    h.click(QStringLiteral("countUp"));
    EXPECT_EQ(h.store->integer(key(Keys::VisibleTranslationCount)), 2);
    model->setVisibleTranslationCount(500);
    EXPECT_EQ(h.store->integer(key(Keys::VisibleTranslationCount)), 100);
    h.settle();
    EXPECT_FALSE(h.find(QStringLiteral("countUp"))->isEnabled());
}

TEST_F(SettingsFixture, SubjectIsStoredTrimmedOnEveryChange)
{
    open();
    h.typeInto(QStringLiteral("subjectField"), QStringLiteral("  线性代数 "));
    EXPECT_EQ(h.store->string(key(Keys::CourseSubject)), QStringLiteral("线性代数"));
    EXPECT_EQ(field("subjectField"), QStringLiteral("  线性代数 ")); // the field keeps what was typed
    h.clearField(QStringLiteral("subjectField"));
    EXPECT_TRUE(h.store->contains(key(Keys::CourseSubject)));
    EXPECT_EQ(h.store->string(key(Keys::CourseSubject)), QString());
}

TEST_F(SettingsFixture, ApiKeyIsWrittenTrimmedAndNeverEmptied)
{
    h.store->setValue(key(Keys::DeepSeekApiKey), QStringLiteral("sk-old"));
    open();
    EXPECT_EQ(field("apiKeyField"), QStringLiteral("sk-old"));
    h.clearField(QStringLiteral("apiKeyField"));
    EXPECT_EQ(h.store->string(key(Keys::DeepSeekApiKey)), QStringLiteral("sk-old"));
    h.typeInto(QStringLiteral("apiKeyField"), QStringLiteral("  sk-new\t"));
    EXPECT_EQ(h.store->string(key(Keys::DeepSeekApiKey)), QStringLiteral("sk-new"));
}

TEST_F(SettingsFixture, EnginePickerSetsTheEngineWithoutStoringIt)
{
    open();
    h.click(QStringLiteral("engine_deepseek"));
    EXPECT_EQ(h.engine.translationEngine, QStringLiteral("deepseek"));
    h.click(QStringLiteral("engine_system"));
    EXPECT_EQ(h.engine.translationEngine, QStringLiteral("system"));
    for (const QString &k : h.store->keys())
        EXPECT_FALSE(k.contains(QStringLiteral("engine"))) << k.toStdString();
    EXPECT_FALSE(field("engineCaption").contains(QStringLiteral("macOS")));
}

TEST_F(SettingsFixture, AddingTrimsThePairAndEmptiesBothFields)
{
    open();
    EXPECT_FALSE(h.find(QStringLiteral("addTermButton"))->isEnabled());
    h.typeInto(QStringLiteral("newSourceField"), QStringLiteral("  gradient  "));
    EXPECT_FALSE(h.find(QStringLiteral("addTermButton"))->isEnabled());
    h.typeInto(QStringLiteral("newTargetField"), QStringLiteral(" 梯度\n"));
    ASSERT_TRUE(h.find(QStringLiteral("addTermButton"))->isEnabled());
    h.click(QStringLiteral("addTermButton"));
    ASSERT_EQ(h.glossary->terms().size(), 1u);
    EXPECT_EQ(h.glossary->terms()[0].source, QStringLiteral("gradient"));
    EXPECT_EQ(h.glossary->terms()[0].target, QStringLiteral("梯度"));
    EXPECT_EQ(field("newSourceField"), QString());
    EXPECT_EQ(field("newTargetField"), QString());
    EXPECT_EQ(field("termCount"), QStringLiteral("1 条"));
    EXPECT_FALSE(h.shown(QStringLiteral("emptyGlossary")));
}

TEST_F(SettingsFixture, ConflictMessageStaysUntilTheNextAddOrChip)
{
    h.glossary->add(QStringLiteral("gradient"), QStringLiteral("梯度"));
    h.engine.setEntries({entry(QStringLiteral("The descent follows the descent direction"))});
    open();
    model->setNewSource(QStringLiteral("slope"));
    model->setNewTarget(QStringLiteral("梯度"));
    model->addTerm();
    const QString conflict = QStringLiteral("译文「梯度」已被「gradient」使用，请确认是否要与现有术语区分。");
    EXPECT_EQ(model->conflictMessage(), conflict);
    EXPECT_EQ(h.glossary->terms().size(), 1u); // not added
    h.settle();
    EXPECT_TRUE(h.shown(QStringLiteral("conflictMessage")));
    // Typing keeps it.
    model->setNewTarget(QStringLiteral("斜率"));
    EXPECT_EQ(model->conflictMessage(), conflict);
    // A chip clears it and fills the English field.
    h.click(QStringLiteral("chip_descent"));
    EXPECT_EQ(model->conflictMessage(), QString());
    EXPECT_EQ(field("newSourceField"), QStringLiteral("descent"));

    model->setNewSource(QStringLiteral("Gradient"));
    model->addTerm();
    EXPECT_EQ(model->conflictMessage(), QStringLiteral("该英文词汇已在术语表中（同一原文映射到不同译文会降低一致性）。"));
    model->setNewSource(QStringLiteral("slope"));
    model->addTerm(); // 斜率 is free: added, message cleared
    EXPECT_EQ(model->conflictMessage(), QString());
    EXPECT_EQ(h.glossary->terms().size(), 2u);
}

TEST_F(SettingsFixture, SuggestionChipsComeFromTheCurrentTranslations)
{
    open();
    EXPECT_FALSE(h.shown(QStringLiteral("candidateSection")));
    EXPECT_TRUE(model->candidates().isEmpty());

    h.glossary->add(QStringLiteral("Matrix"), QStringLiteral("矩阵"));
    h.engine.setEntries({entry(QStringLiteral("The matrix and the eigenvalue")),
                         entry(QStringLiteral("Every eigenvalue of a matrix; eigenvalue again"))});
    h.settle();
    ASSERT_TRUE(h.shown(QStringLiteral("candidateSection")));
    const QVariantList c = model->candidates();
    ASSERT_FALSE(c.isEmpty());
    EXPECT_EQ(c[0].toMap().value(QStringLiteral("label")).toString(), QStringLiteral("eigenvalue ×3"));
    EXPECT_EQ(c[0].toMap().value(QStringLiteral("help")).toString(), QStringLiteral("填入「eigenvalue」（本节课出现 3 次）"));
    for (const QVariant &v : c)
        EXPECT_NE(v.toMap().value(QStringLiteral("word")).toString(), QStringLiteral("matrix"));
    EXPECT_LE(c.size(), 8);
}

TEST_F(SettingsFixture, ImportReportsBothOutcomes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("terms.md"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("| 英文 | 中文 | 注释 |\n|---|---|---|\n| gradient | 梯度 | |\n| matrix | 矩阵 | 线代 |\n");
    f.close();
    open();
    model->importGlossary(QUrl()); // cancelled chooser
    EXPECT_EQ(model->importMessage(), QString());
    model->importGlossary(QUrl::fromLocalFile(path));
    EXPECT_EQ(model->importMessage(), QStringLiteral("导入成功：新增 2 条术语。"));
    model->importGlossary(QUrl::fromLocalFile(path));
    h.settle();
    EXPECT_EQ(field("importMessage"), QStringLiteral("没有导入任何术语（文件为空、格式不符或术语已存在）。"));
    EXPECT_TRUE(h.shown(QStringLiteral("importMessage")));
    model->importGlossary(QUrl::fromLocalFile(dir.filePath(QStringLiteral("missing.md"))));
    EXPECT_EQ(model->importMessage(), QStringLiteral("没有导入任何术语（文件为空、格式不符或术语已存在）。"));
}

TEST_F(SettingsFixture, DeleteAndClearAll)
{
    h.glossary->add(QStringLiteral("gradient"), QStringLiteral("梯度"));
    h.glossary->add(QStringLiteral("matrix"), QStringLiteral("矩阵"));
    open();
    EXPECT_TRUE(h.find(QStringLiteral("clearAllButton"))->isEnabled());
    h.click(QStringLiteral("deleteTerm_gradient"));
    ASSERT_EQ(h.glossary->terms().size(), 1u);
    EXPECT_EQ(h.glossary->terms()[0].source, QStringLiteral("matrix"));
    h.click(QStringLiteral("clearAllButton"));
    EXPECT_TRUE(h.glossary->terms().empty());
    EXPECT_TRUE(h.shown(QStringLiteral("emptyGlossary")));
    EXPECT_FALSE(h.find(QStringLiteral("clearAllButton"))->isEnabled());
}

TEST_F(SettingsFixture, LocalServiceLineSaysWhetherItAnswers)
{
    QHttpServer server;
    server.route(QStringLiteral("/languages"), [] {
        return QHttpServerResponse("application/json",
                                   QByteArray(R"([{"code":"en","name":"English","targets":["en","zh"]},)"
                                              R"({"code":"zh","name":"Chinese","targets":["en","zh"]}])"));
    });
    const quint16 port = server.listen(QHostAddress::LocalHost);
    ASSERT_NE(port, 0);
    h.store->setValue(key(Keys::LocalTranslationUrl), QStringLiteral("http://127.0.0.1:%1").arg(port));
    open();
    ASSERT_TRUE(waitFor([&] { return model->serviceState() != TranslationSettingsModel::Checking; }));
    EXPECT_EQ(model->serviceState(), TranslationSettingsModel::Answering) << model->serviceStatus().toStdString();
    EXPECT_TRUE(field("serviceStatus").startsWith(QStringLiteral("本地翻译服务已连接")));

    // A port nobody listens on.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 dead = probe.serverPort();
    probe.close();
    model->setLocalTranslationUrl(QStringLiteral("  http://127.0.0.1:%1 ").arg(dead));
    EXPECT_EQ(h.store->string(key(Keys::LocalTranslationUrl)), QStringLiteral("http://127.0.0.1:%1").arg(dead));
    ASSERT_TRUE(waitFor([&] { return model->serviceState() != TranslationSettingsModel::Checking; }));
    EXPECT_EQ(model->serviceState(), TranslationSettingsModel::NotAnswering);
    EXPECT_TRUE(field("serviceStatus").startsWith(QStringLiteral("本地翻译服务未响应")));
}

TEST(SettingsScreenshots, EveryTheme)
{
    for (const char *theme : {"cyberpunk", "swiss", "oled", "glass"}) {
        WindowHarness h;
        h.store->setValue(QString::fromLatin1(Keys::UiTheme), QString::fromLatin1(theme));
        h.theme = std::make_unique<ThemeModel>();
        h.app.theme = h.theme.get();
        h.glossary->add(QStringLiteral("gradient descent"), QStringLiteral("梯度下降"));
        h.glossary->add(QStringLiteral("eigenvalue"), QStringLiteral("特征值"));
        h.engine.setEntries({entry(QStringLiteral("The derivative of the function gives the derivative slope")),
                             entry(QStringLiteral("Integration reverses differentiation; integration by parts"))});
        ASSERT_NE(h.load(QStringLiteral("TranslationSettingsView.qml"), QSize(500, 560)), nullptr)
            << h.lastError.toStdString();
        auto *m = h.view->property("model").value<TranslationSettingsModel *>();
        m->setNewSource(QStringLiteral("slope"));
        m->setNewTarget(QStringLiteral("梯度下降"));
        m->addTerm();
        EXPECT_TRUE(h.savePng(h.window, QStringLiteral("settings-%1.png").arg(QString::fromLatin1(theme))));
        // Scrolled to the glossary.
        if (auto *flick = h.find(QStringLiteral("settingsScroll")))
            flick->setProperty("contentY", 420);
        EXPECT_TRUE(h.savePng(h.window, QStringLiteral("settings-%1-glossary.png").arg(QString::fromLatin1(theme))));
    }
}
