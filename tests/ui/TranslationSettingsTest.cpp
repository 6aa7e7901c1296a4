// The translation settings sheet.
#include "UiHarness.h"
#include "platform/Settings.h"
#include "support/HttpTestServer.h"
#include "ui/RecognizerSettingsModel.h"
#include "ui/TranslationSettingsModel.h"

#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

struct SettingsFixture : ::testing::Test {
    WindowHarness h;
    TranslationSettingsModel *model = nullptr;

    void open()
    {
        ASSERT_NE(h.load("TranslationSettingsView.qml", QSize(500, 560)), nullptr) << h.lastError.toStdString();
        model = h.view->property("model").value<TranslationSettingsModel *>();
        ASSERT_NE(model, nullptr);
    }
    RecognizerSettingsModel *recognizerSettings() const
    {
        auto *section = h.view->findChild<QObject *>(QStringLiteral("recognizerSection"));
        return section ? section->property("model").value<RecognizerSettingsModel *>() : nullptr;
    }
    bool enabled(const char *name) const { return h.find(name)->isEnabled(); }
};

TranslationEntry entry(const QString &source)
{
    return TranslationEntry(Date::fromUnix(1'780'000'000.0), source, "译文", 1);
}

} // namespace

TEST_F(SettingsFixture, CountClampedSubjectAndKeyTrimmedAndTheEnginePickerStoresNothing)
{
    h.store->setValue(Keys::VisibleTranslationCount, 0);
    h.store->setValue(Keys::DeepSeekApiKey, "sk-old");
    open();
    EXPECT_EQ(h.store->integer(Keys::VisibleTranslationCount), 1);
    EXPECT_EQ(h.text("countLabel"), "主界面显示最近 1 条");
    EXPECT_FALSE(enabled("countDown"));
    h.click("countUp");
    EXPECT_EQ(h.store->integer(Keys::VisibleTranslationCount), 2);
    model->setVisibleTranslationCount(500);
    h.settle();
    EXPECT_EQ(h.store->integer(Keys::VisibleTranslationCount), 100);
    EXPECT_FALSE(enabled("countUp"));

    // Subject and key are stored trimmed; only the subject can be emptied.
    h.typeInto("subjectField", "  线性代数 ");
    EXPECT_EQ(h.store->string(Keys::CourseSubject), "线性代数");
    EXPECT_EQ(h.text("subjectField"), "  线性代数 "); // the field keeps what was typed
    h.clearField("subjectField");
    EXPECT_TRUE(h.store->contains(Keys::CourseSubject));
    EXPECT_EQ(h.store->string(Keys::CourseSubject), QString());

    EXPECT_EQ(h.text("apiKeyField"), "sk-old");
    h.clearField("apiKeyField");
    EXPECT_EQ(h.store->string(Keys::DeepSeekApiKey), "sk-old");
    h.typeInto("apiKeyField", "  sk-new\t");
    EXPECT_EQ(h.store->string(Keys::DeepSeekApiKey), "sk-new");

    // The engine picker sets the engine without storing it.
    h.click("engine_deepseek");
    EXPECT_EQ(h.engine->translationEngineRaw(), "deepseek");
    h.click("engine_system");
    EXPECT_EQ(h.engine->translationEngineRaw(), "system");
    for (const QString &k : h.store->keys())
        EXPECT_FALSE(k.contains("engine")) << k.toStdString();
}

TEST_F(SettingsFixture, AddButtonAddsThePairAndEmptiesBothFieldsThenDeleteClearAllAndImport)
{
    open();
    EXPECT_FALSE(enabled("addTermButton"));
    h.typeInto("newSourceField", "  gradient  ");
    EXPECT_FALSE(enabled("addTermButton"));
    h.typeInto("newTargetField", " 梯度\n");
    ASSERT_TRUE(enabled("addTermButton"));
    h.click("addTermButton");
    ASSERT_EQ(h.glossary->terms().size(), 1u);
    EXPECT_EQ(h.glossary->terms()[0].target, "梯度");
    EXPECT_EQ(h.text("newSourceField") + h.text("newTargetField"), QString());
    EXPECT_EQ(h.text("termCount"), "1 条");

    h.glossary->add("matrix", "矩阵");
    h.settle();
    EXPECT_TRUE(enabled("clearAllButton"));
    h.click("deleteTerm_gradient");
    ASSERT_EQ(h.glossary->terms().size(), 1u);
    EXPECT_EQ(h.glossary->terms()[0].source, "matrix");
    h.click("clearAllButton");
    EXPECT_TRUE(h.shown("emptyGlossary"));
    EXPECT_FALSE(enabled("clearAllButton"));

    // An import reports what it added, or that it added nothing.
    QTemporaryDir dir;
    QFile f(dir.filePath("terms.md"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("| 英文 | 中文 | 注释 |\n|---|---|---|\n| gradient | 梯度 | |\n| matrix | 矩阵 | 线代 |\n");
    f.close();
    model->importGlossary(QUrl()); // cancelled chooser
    EXPECT_EQ(model->importMessage(), QString());
    model->importGlossary(QUrl::fromLocalFile(f.fileName()));
    EXPECT_EQ(model->importMessage(), "导入成功：新增 2 条术语。");
    model->importGlossary(QUrl::fromLocalFile(f.fileName()));
    h.settle();
    EXPECT_TRUE(h.shown("importMessage"));
    EXPECT_EQ(h.text("importMessage"), "没有导入任何术语（文件为空、格式不符或术语已存在）。");
}

TEST_F(SettingsFixture, ChipsComeFromTheTranslationsAndAConflictStaysUntilTheNextAddOrChip)
{
    open();
    EXPECT_FALSE(h.shown("candidateSection"));
    h.glossary->add("gradient", "梯度");
    h.glossary->add("Matrix", "矩阵");
    h.land({entry("The matrix and the eigenvalue"), entry("Every eigenvalue of a matrix; eigenvalue again"),
            entry("The descent follows the descent direction")});
    h.settle();
    ASSERT_TRUE(h.shown("candidateSection"));
    EXPECT_FALSE(h.find("chip_matrix"));
    EXPECT_EQ(h.text("chip_eigenvalue"), "eigenvalue ×3");
    EXPECT_EQ(h.find("chip_eigenvalue")->property("help").toString(), "填入「eigenvalue」（本节课出现 3 次）");

    model->setNewSource("slope");
    model->setNewTarget("梯度");
    model->addTerm();
    const QString conflict = "译文「梯度」已被「gradient」使用，请确认是否要与现有术语区分。";
    EXPECT_EQ(h.glossary->terms().size(), 2u); // not added
    h.settle();
    EXPECT_TRUE(h.shown("conflictMessage"));
    // Typing keeps it.
    model->setNewTarget("斜率");
    EXPECT_EQ(model->conflictMessage(), conflict);
    // A chip clears it and fills the English field.
    h.click("chip_descent");
    EXPECT_EQ(model->conflictMessage(), QString());
    EXPECT_EQ(h.text("newSourceField"), "descent");

    model->setNewSource("slope");
    model->addTerm(); // 斜率 is free: added, message cleared
    EXPECT_EQ(model->conflictMessage(), QString());
    EXPECT_EQ(h.glossary->terms().size(), 3u);
}

TEST_F(SettingsFixture, LocalServiceLineSaysWhetherItAnswers)
{
    HttpTestServer server;
    server.installLibreTranslate({"zh"}, [](const QString &s) { return s; });
    h.store->setValue(Keys::LocalTranslationUrl, server.url().toString());
    open();
    ASSERT_TRUE(waitFor([&] { return model->serviceState() != TranslationSettingsModel::Checking; }));
    EXPECT_EQ(model->serviceState(), TranslationSettingsModel::Answering) << model->serviceStatus().toStdString();
    EXPECT_TRUE(h.text("serviceStatus").startsWith("本地翻译服务已连接"));

    // A port nobody listens on.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 dead = probe.serverPort();
    probe.close();
    model->setLocalTranslationUrl(QStringLiteral("  http://127.0.0.1:%1 ").arg(dead));
    EXPECT_EQ(h.store->string(Keys::LocalTranslationUrl), QStringLiteral("http://127.0.0.1:%1").arg(dead));
    ASSERT_TRUE(waitFor([&] { return model->serviceState() != TranslationSettingsModel::Checking; }));
    EXPECT_EQ(model->serviceState(), TranslationSettingsModel::NotAnswering);
    EXPECT_TRUE(h.text("serviceStatus").startsWith("本地翻译服务未响应"));
}

TEST_F(SettingsFixture, RecognizerSectionSwitchesToAChosenModelAndBack)
{
    open();
    auto *recognizerSettings = this->recognizerSettings();
    ASSERT_NE(recognizerSettings, nullptr);
    EXPECT_EQ(h.text("currentRecognizer"), QStringLiteral("当前识别器：PocketSphinx"));
    EXPECT_FALSE(enabled("pocketSphinxButton"));

    // A file that is not there: said, and PocketSphinx stays.
    recognizerSettings->useFile(QUrl::fromLocalFile(QStringLiteral("/nonexistent/ggml-base.en.bin")));
    ASSERT_TRUE(waitFor([&] { return !h.controller->recognizer()->loading(); }));
    EXPECT_TRUE(h.text("recognizerStatus").startsWith(QStringLiteral("找不到识别模型文件"))) << h.text("recognizerStatus").toStdString();
    EXPECT_EQ(h.engine->recognizerName(), QStringLiteral("PocketSphinx"));

    QTemporaryDir dir;
    QFile model(dir.filePath(QStringLiteral("ggml-base.en.bin")));
    ASSERT_TRUE(model.open(QIODevice::WriteOnly));
    model.close();
    recognizerSettings->useFile(QUrl::fromLocalFile(model.fileName()));
    ASSERT_TRUE(waitFor([&] { return h.engine->recognizerName() == QStringLiteral("Whisper ggml-base.en"); }));
    EXPECT_EQ(h.store->string(Keys::WhisperModelPath), model.fileName());
    EXPECT_EQ(h.text("currentRecognizer"), QStringLiteral("当前识别器：Whisper ggml-base.en"));
    h.find("settingsScroll")->setProperty("contentY", 330);
    EXPECT_TRUE(savePng(h.window, QStringLiteral("settings-recognizer")));

    recognizerSettings->usePocketSphinx();
    EXPECT_EQ(h.engine->recognizerName(), QStringLiteral("PocketSphinx"));
    EXPECT_FALSE(h.store->contains(Keys::WhisperModelPath));
}

TEST_F(SettingsFixture, AModelDownloadChangesItsOwnRowOnly)
{
    HttpTestServer server;
    server.route("GET", QStringLiteral("/ggml-base.en-q5_1.bin"), [](const HttpTestRequest &) {
        HttpTestReply reply = HttpTestReply::text(200, QByteArray(256 << 10, 'x'));
        reply.contentType = "application/octet-stream";
        return reply;
    });
    open();
    RecognizerSettingsModel *settings = recognizerSettings();
    ASSERT_NE(settings, nullptr);
    settings->setDownloadUrl(server.url().toString());
    WhisperModelList *models = settings->models();
    const int row = models->rowOf(QStringLiteral("base.en-q5_1"));
    QSignalSpy changed(models, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(models, &QAbstractItemModel::modelReset);

    settings->download(QStringLiteral("base.en-q5_1"));
    EXPECT_TRUE(h.find("model_base.en-q5_1")->property("downloading").toBool());
    ASSERT_TRUE(waitFor([&] { return settings->downloadingId().isEmpty(); }));
    ASSERT_GE(changed.count(), 3); // started, progress, ended
    for (const QList<QVariant> &args : changed) {
        EXPECT_EQ(args[0].toModelIndex().row(), row);
        EXPECT_EQ(args[1].toModelIndex().row(), row);
    }
    EXPECT_EQ(reset.count(), 0);
    EXPECT_FALSE(models->data(models->index(row), WhisperModelList::DownloadingRole).toBool());
    EXPECT_TRUE(h.text("downloadMessage").startsWith(QStringLiteral("下载的文件不是完整的 Whisper 模型")))
        << h.text("downloadMessage").toStdString();
}

TEST_F(SettingsFixture, ScreenshotsInEveryTheme)
{
    h.glossary->add("gradient descent", "梯度下降");
    h.glossary->add("eigenvalue", "特征值");
    h.land({entry("The derivative of the function gives the derivative slope"),
            entry("Integration reverses differentiation; integration by parts")});
    for (const char *theme : kThemes) {
        h.store->setValue(Keys::UiTheme, theme);
        open();
        model->setNewSource("slope");
        model->setNewTarget("梯度下降");
        model->addTerm();
        EXPECT_TRUE(savePng(h.window, QStringLiteral("settings-%1").arg(theme)));
        // Scrolled to the glossary.
        h.find("settingsScroll")->setProperty("contentY", 420);
        EXPECT_TRUE(savePng(h.window, QStringLiteral("settings-%1-glossary").arg(theme)));
    }
}
