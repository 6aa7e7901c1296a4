// The main window over a real engine on the fake platform and virtual time:
// sentences heard live, the ways the application ends during a course, and
// a course recovered from a process that is gone.
#include "UiHarness.h"

#include "course/CourseArchive.h"
#include "engine/SpeechEngine.h"
#include "platform/Settings.h"
#include "ui/TerminationSignals.h"

#include <QSignalSpy>
#include <csignal>
#include <limits>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {

class LiveWindow : public ::testing::Test {
protected:
    void SetUp() override { fakes.install(); }
    void TearDown() override { h.reset(); }

    // The window over a fresh engine (after the test prepared the Desktop).
    void open()
    {
        auto e = std::make_unique<SpeechEngine>(fakes.platform());
        engine = e.get();
        h = std::make_unique<UiHarness>(fakes, std::move(e));
        h->setDevices({{QStringLiteral("mic-48k"), QStringLiteral("USB 麦克风")}}, QStringLiteral("mic-48k"));
        quit = std::make_unique<QSignalSpy>(h->voxleaf(), &VoxleafApp::quitRequested);
    }
    void advance(double s) { time->advance(s); }
    void record()
    {
        h->click("recordButton");
        advance(0.4);
        ASSERT_TRUE(engine->isRecording()) << engine->lastError().toStdString();
    }
    void startCourse()
    {
        h->click("courseStartButton");
        advance(0.4);
        ASSERT_TRUE(engine->isCourseActive());
        ASSERT_TRUE(engine->isRecording()) << engine->lastError().toStdString();
    }
    // Words the recognizer has heard so far (no pause after them yet).
    void hear(const QString &words)
    {
        heard += (heard.isEmpty() ? QString() : QStringLiteral(" ")) + words;
        fakes.recognizer->lastTask()->deliverPartial(heard);
        advance(0);
    }
    // A sentence and the pause after it: handed on and translated.
    void say(const QString &sentence)
    {
        hear(sentence);
        advance(0.5);
        fakes.audioEngines->current->pushConstant(0.2f);
        for (int i = 0; i < 12; ++i)
            fakes.audioEngines->current->pushConstant(0.0f);
        advance(1);
    }
    // The last words heard end their sentence: the course is archived with
    // `sources` and the application quits.
    void finishEnding(const QStringList &sources)
    {
        fakes.recognizer->lastTask()->deliverFinal(heard + QStringLiteral("."));
        advance(0.2);
        EXPECT_EQ(quit->count(), 1);
        const auto courses = CourseArchive::loadAll();
        ASSERT_EQ(courses.size(), 1u);
        QStringList saved;
        for (const auto &e : courses[0].entries)
            saved << e.source;
        EXPECT_EQ(saved, sources);
        EXPECT_EQ(courses[0].entries.back().target, QStringLiteral("译:") + sources.back());
    }
    void closeMainWindow()
    {
        h->window()->close();
        h->settle();
    }

    ScopedSettings settings;
    ScopedVirtualTime time;
    fake::FakePlatform fakes;
    SpeechEngine *engine = nullptr;
    std::unique_ptr<UiHarness> h;
    std::unique_ptr<QSignalSpy> quit;
    QString heard;
};

} // namespace

TEST_F(LiveWindow, ClosingDuringACourseAsksCancelKeepsItRunningAndEndAndSaveWaitsForTheLastWords)
{
    open();
    startCourse();
    say(QStringLiteral("Inside the course."));
    closeMainWindow();
    EXPECT_TRUE(h->window()->isVisible());
    ASSERT_TRUE(h->shown("quitQuestionTitle"));
    EXPECT_TRUE(savePng(h->window(), "quit-question"));

    h->click("quitCancelButton");
    EXPECT_FALSE(h->shown("quitQuestionTitle"));
    EXPECT_TRUE(engine->isCourseActive());
    EXPECT_TRUE(engine->isRecording());
    EXPECT_EQ(quit->count(), 0);

    // "结束并保存" waits for the last words, archives them and quits.
    hear(QStringLiteral("The last words")); // still in the recognizer
    closeMainWindow();
    h->click("quitConfirmButton");
    EXPECT_FALSE(h->shown("quitQuestionTitle"));
    EXPECT_TRUE(engine->isEndingCourse());
    // Saving shows in the course bar; the window stays until it is done.
    EXPECT_TRUE(h->shown("courseSaving"));
    EXPECT_EQ(h->text("courseSavingCaption"), "正在保存本节课…保存完成后退出");
    EXPECT_TRUE(h->window()->isVisible());
    EXPECT_EQ(quit->count(), 0);
    EXPECT_TRUE(savePng(h->window(), "course-bar-saving"));

    finishEnding({"Inside the course.", "The last words."});
}

TEST_F(LiveWindow, AHeardSentenceReachesBothWindowsAndTheFloatingOneNeverKeepsTheCaptureRunning)
{
    open();
    h->click("subtitleButton");
    QQuickWindow *floating = h->app()->floatingSubtitle()->window();
    ASSERT_TRUE(floating && floating->isVisible());
    record();
    hear(QStringLiteral("Heat flows from hot"));
    EXPECT_EQ(h->find("recognizedText")->property("plain").toString(), "Heat flows from hot");
    say(QStringLiteral("to cold."));
    h->settle();
    EXPECT_EQ(h->rowTexts("translationRow", "rowSource"), QStringList{"Heat flows from hot to cold."});
    EXPECT_EQ(h->rowTexts("translationRow", "rowTarget"), QStringList{"译:Heat flows from hot to cold."});
    QQuickItem *subtitle = h->find("subtitleEntry0", floating->contentItem());
    ASSERT_TRUE(subtitle);
    EXPECT_EQ(h->find("sourceText", subtitle)->property("text").toString(), "Heat flows from hot to cold.");
    EXPECT_EQ(h->find("targetText", subtitle)->property("text").toString(), "译:Heat flows from hot to cold.");

    // Closed by itself: hidden, nothing else.
    floating->close();
    h->settle();
    EXPECT_FALSE(floating->isVisible());
    EXPECT_FALSE(settings->boolean(Keys::SubtitleVisible));
    EXPECT_EQ(quit->count(), 0);
    EXPECT_TRUE(engine->isRecording());

    // The main window closed with the floating window open: the application
    // ends and the capture stops.
    h->click("subtitleButton");
    ASSERT_TRUE(floating->isVisible());
    closeMainWindow();
    EXPECT_FALSE(h->window()->isVisible());
    EXPECT_EQ(quit->count(), 1);
    EXPECT_FALSE(fakes.audioEngines->current && fakes.audioEngines->current->running);
}

TEST_F(LiveWindow, TerminationSignalsEndWithoutAskingAndASecondOneDoesNotWait)
{
    open();
    TerminationSignals signalPipe;
    ASSERT_TRUE(signalPipe.isActive());
    QObject::connect(&signalPipe, &TerminationSignals::received, h->voxleaf(), &VoxleafApp::terminationSignal);
    startCourse();
    say(QStringLiteral("Said before the signal."));
    hear(QStringLiteral("Cut short"));

    ::raise(SIGTERM);
    h->settle();
    EXPECT_FALSE(h->shown("quitQuestionTitle"));
    EXPECT_TRUE(engine->isEndingCourse());
    EXPECT_EQ(quit->count(), 0);

    ::raise(SIGINT);
    h->settle();
    EXPECT_EQ(quit->count(), 1);
    EXPECT_FALSE(engine->isEndingCourse());
    const auto courses = CourseArchive::loadAll();
    ASSERT_EQ(courses.size(), 1u);
    EXPECT_EQ(courses[0].entries.front().source, "Said before the signal.");
}

TEST_F(LiveWindow, AQuitFromTheSessionEndsAndSavesTheCourseFirst)
{
    open();
    startCourse();
    hear(QStringLiteral("Spoken as the session ends"));

    // What the session manager's "die" delivers.
    QEvent quitEvent(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quitEvent);
    EXPECT_FALSE(quitEvent.isAccepted());
    EXPECT_FALSE(h->shown("quitQuestionTitle"));
    EXPECT_TRUE(engine->isEndingCourse());
    EXPECT_TRUE(h->window()->isVisible());
    EXPECT_EQ(quit->count(), 0);

    finishEnding({"Spoken as the session ends."});
}

TEST_F(LiveWindow, ACourseLeftInProgressIsRecoveredAndOpensInTheReviewSheet)
{
    // Left by a process that is gone, with one sentence still untranslated.
    const Date start = Date::fromQDateTime(QDateTime(QDate(2026, 3, 2), QTime(9, 0, 0)));
    CourseSession left(start, start.addSeconds(40), {makeEntry(1), makeEntry(14), makeEntry(31)}, std::nullopt);
    left.inProgress = true;
    left.owner = CourseOwner{2'147'483'646, QStringLiteral("1")};
    left.pendingEntries = {TranslationEntry(start.addSeconds(38), QStringLiteral("Untranslated."),
                                            QStringLiteral("（翻译中…）"), 38)};
    const auto path = CourseArchive::save(left);
    ASSERT_TRUE(path) << path.error().message.toStdString();

    open();
    ASSERT_TRUE(h->shown("recoveryBanner"));
    EXPECT_EQ(h->text("recoveryTitle"), "已恢复上次未正常结束的课程");
    EXPECT_TRUE(h->text("recoveryCaption").endsWith(" 开始 · 4 条翻译")) << h->text("recoveryCaption").toStdString();
    EXPECT_TRUE(savePng(h->window(), "recovery-banner"));

    h->click("recoveryOpenButton");
    h->settle(50);
    QQuickWindow *sheet = h->visibleSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(h->find("headerCaption", sheet->contentItem())->property("text").toString().endsWith("共 4 条"));
    h->find("contentView")->setProperty("isShowingCourseReview", false);
    h->settle(50);

    h->click("recoveryDismissButton");
    EXPECT_FALSE(h->shown("recoveryBanner"));
}

// A microphone pulled out during a course: the window says so where the
// level is shown and in the error line, the course goes on, and capture
// comes back by itself.
TEST_F(LiveWindow, AMicrophonePulledOutIsShownAndCaptureComesBack)
{
    open();
    engine->setCaptureSilenceLimit(SpeechEngine::kCaptureSilenceLimit);
    startCourse();
    fakes.audioEngines->current->pushConstant(0.2f);
    advance(0);
    EXPECT_EQ(h->text("levelCaption"), "采集正常");

    auto &list = fakes.captureDevices->devices;
    const auto mic = std::find_if(list.begin(), list.end(), [](const CaptureDevice &d) { return d.uniqueID == "mic-48k"; });
    ASSERT_NE(mic, list.end());
    const CaptureDevice kept = *mic;
    list.erase(mic);
    fakes.captureDevices->notifyChanged();
    h->settle();
    EXPECT_EQ(h->text("levelCaption"), "麦克风已断开，等待恢复");
    EXPECT_TRUE(h->text("lastErrorText").contains(QStringLiteral("麦克风连接中断")));
    EXPECT_TRUE(savePng(h->window(), QStringLiteral("microphone-lost")));

    list.push_back(kept);
    fakes.captureDevices->notifyChanged();
    advance(SpeechEngine::kDeviceReturnPoll + SpeechEngine::kDeviceSettle);
    h->settle();
    EXPECT_TRUE(engine->isRecording()) << engine->lastError().toStdString();
    EXPECT_NE(h->text("levelCaption"), "麦克风已断开，等待恢复");
}

TEST_F(LiveWindow, TheServiceStateIsShownFromTheStartAndWarningsGoWithTheirCause)
{
    open();
    engine->setCaptureSilenceLimit(std::numeric_limits<double>::infinity()); // the fake microphone pauses
    h->settle();
    EXPECT_EQ(h->text("serviceStateText"), QStringLiteral("本地翻译服务已连接"));

    // Online translation without a key: said before anything is spoken.
    engine->setTranslationEngineRaw(QStringLiteral("deepseek"));
    h->settle();
    EXPECT_EQ(h->text("serviceStateText"), QStringLiteral("DeepSeek 在线翻译：未填写 API Key"));

    // A sentence that cannot be translated keeps the placeholder and a
    // warning on its own backdrop.
    record();
    say(QStringLiteral("Nobody translates this."));
    advance(3.1);
    h->settle();
    EXPECT_TRUE(h->shown("errorLine"));
    EXPECT_EQ(h->rowTexts("translationRow", "rowTarget").first(), TranslationPipeline::placeholder());

    // Back to the local service: the next retry fills the gap in the list
    // and the warning goes by itself.
    engine->setTranslationEngineRaw(QStringLiteral("system"));
    advance(TranslationPipeline::kRetryInterval);
    h->settle();
    EXPECT_FALSE(h->shown("errorLine")) << engine->lastError().toStdString();
    EXPECT_EQ(h->rowTexts("translationRow", "rowTarget").first(), QStringLiteral("译:Nobody translates this."));

    // A click on the state line leads to the settings.
    h->click("serviceStateText");
    EXPECT_TRUE(h->find("translationSettingsSheet")->property("shown").toBool());
}
