// The main window loaded offscreen over the real models on the fake platform.
#include "UiHarness.h"
#include "ui/UiSettings.h"

#include "platform/Settings.h"
#include "translation/TranscriptModel.h"
#include "ui/FloatingSubtitleController.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {
const QString kMic = QStringLiteral("alsa_input.usb-mic");
const QString kOther = QStringLiteral("alsa_input.pci-analog");

std::vector<TranslationEntry> entries(int from, int to)
{
    std::vector<TranslationEntry> out;
    for (int i = from; i <= to; ++i)
        out.push_back(makeEntry(i));
    return out;
}

// The capture device the engine records from (the input it made the default).
QString inputInUse(UiHarness &h)
{
    for (const auto &d : h.fakes->hardware->devices)
        if (d.id == h.fakes->hardware->defaultInput)
            return d.uid;
    return {};
}
} // namespace

class MainWindow : public ::testing::Test {
protected:
    // Lets the engine's awaited steps and timers run, then the views follow.
    void advance(UiHarness &h, double seconds)
    {
        time->advance(seconds);
        h.settle();
    }
    void press(UiHarness &h, const QString &name)
    {
        h.click(name);
        advance(h, 0.5);
    }

    ScopedSettings settings;
    ScopedVirtualTime time;
};

TEST_F(MainWindow, FirstStartWithNoStoredSettings)
{
    UiHarness h;
    ASSERT_TRUE(h.window());
    EXPECT_EQ(h.window()->minimumSize(), QSize(560, 440));
    EXPECT_TRUE(h.shown("contentView"));
    // The main view asked for the device list once it was shown.
    EXPECT_EQ(h.app()->devices()->rowCount(), 2);
    EXPECT_EQ(h.app()->selectedDeviceID(), "builtin-uid");
    EXPECT_EQ(h.text("statusBadgeText"), "就绪");
    EXPECT_TRUE(h.shown("emptyHint"));
    EXPECT_TRUE(h.shown("courseStartButton"));
    EXPECT_FALSE(h.shown("errorLine"));
    // The recognizer's model began loading once, after the window was drawn.
    h.settle();
    EXPECT_EQ(h.fakes->recognizer->preloads, 1);
    // Nothing was written just by starting.
    EXPECT_TRUE(settings->keys().isEmpty()) << settings->keys().join(',').toStdString();
}

TEST_F(MainWindow, PermissionGateButtonStatesAndLiveSwitch)
{
    UiHarness h(false);
    auto &asked = *h.fakes->permissions;
    asked.microphoneAnswer = fake::FakePermissions::Answer::Never;
    EXPECT_TRUE(h.shown("permissionView"));
    EXPECT_FALSE(h.shown("contentView"));
    EXPECT_FALSE(h.shown("denialHint"));

    h.click("permissionButton");
    EXPECT_EQ(asked.microphoneRequests, 1);
    EXPECT_TRUE(h.app()->isRequestingPermissions());
    EXPECT_TRUE(h.find("permissionButton")->property("busy").toBool());
    // A second press while asking does nothing.
    h.click("permissionButton");
    EXPECT_EQ(asked.microphoneRequests, 1);

    asked.answerMicrophone(false); // microphone denied, speech granted when asked
    advance(h, 0);
    EXPECT_FALSE(h.app()->isRequestingPermissions());
    EXPECT_EQ(h.text("permissionButton"), "已打开系统设置后，点此重试");
    EXPECT_TRUE(h.text("denialHint").startsWith("麦克风权限被拒绝")) << h.text("denialHint").toStdString();
    EXPECT_TRUE(savePng(h.window(), "permission-cyberpunk-denied"));

    settings->setValue(Keys::UiTheme, "swiss");
    h.click("permissionButton");
    EXPECT_TRUE(savePng(h.window(), "permission-swiss-requesting"));
    asked.answerMicrophone(true);
    advance(h, 0);
    EXPECT_TRUE(h.shown("contentView"));
    EXPECT_FALSE(h.shown("permissionView"));
}

TEST_F(MainWindow, RecordButtonShortcutsAndDeviceChanges)
{
    UiHarness h;
    // No device selected: nothing happens.
    h.setDevices({}, QString());
    press(h, "recordButton");
    EXPECT_FALSE(h.engine->isRecording());
    EXPECT_FALSE(h.engine->isStarting());

    h.setDevices({{kMic, "USB 麦克风"}, {kOther, "内置麦克风"}}, kMic);
    advance(h, 0.5);
    EXPECT_FALSE(h.engine->isRecording()); // not started by the change
    EXPECT_EQ(h.find("devicePicker")->property("displayText").toString(), "USB 麦克风");
    press(h, "recordButton");
    EXPECT_TRUE(h.engine->isRecording()) << h.engine->lastError().toStdString();
    EXPECT_EQ(inputInUse(h), kMic);
    EXPECT_EQ(h.text("recordButton"), "停止");
    EXPECT_EQ(h.text("statusBadgeText"), "识别中");
    EXPECT_TRUE(h.shown("waitingHint"));
    press(h, "recordButton");
    EXPECT_FALSE(h.engine->isRecording());

    // Ctrl+Space from the window, twice; the second stop also ends the course.
    h.engine->startCourse();
    QTest::keyClick(h.window(), Qt::Key_Space, Qt::ControlModifier);
    advance(h, 0.5);
    EXPECT_TRUE(h.engine->isRecording());
    QTest::keyClick(h.window(), Qt::Key_Space, Qt::ControlModifier);
    advance(h, 5);
    EXPECT_FALSE(h.engine->isRecording());
    EXPECT_TRUE(h.engine->hasCompletedCourse());

    // Another key chosen in the settings takes over (input methods keep
    // Ctrl+Space), and the button's help names it; a key that is only a
    // modifier is refused.
    UiSettings ui;
    EXPECT_FALSE(ui.setRecordShortcut(QStringLiteral("Ctrl+")));
    ASSERT_TRUE(ui.setRecordShortcut(QStringLiteral("F8")));
    h.settle();
    EXPECT_EQ(h.find("recordButton")->property("help").toString(), QStringLiteral("开始 / 停止语音识别（F8）"));
    QTest::keyClick(h.window(), Qt::Key_Space, Qt::ControlModifier);
    advance(h, 0.5);
    EXPECT_FALSE(h.engine->isRecording());
    QTest::keyClick(h.window(), Qt::Key_F8);
    advance(h, 0.5);
    ASSERT_TRUE(h.engine->isRecording());
    EXPECT_EQ(inputInUse(h), kMic);

    // While recording another microphone takes over; none chosen changes nothing.
    h.devices->setSelectedDeviceID(kOther);
    advance(h, 0.5);
    EXPECT_TRUE(h.engine->isRecording());
    EXPECT_EQ(inputInUse(h), kOther);
    h.devices->setSelectedDeviceID(QString());
    advance(h, 0.5);
    EXPECT_TRUE(h.engine->isRecording());
    EXPECT_EQ(inputInUse(h), kOther);

    h.fakes->captureDevices->devices.push_back(CaptureDevice{"usb-headset", "USB 耳机", true, false});
    h.click("refreshButton");
    EXPECT_EQ(h.app()->devices()->rowCount(), 3);
    // The microphone in use renamed and the one listed before it pulled out:
    // the picker follows the rows.
    h.devices->setSelectedDeviceID(kOther);
    auto &listed = h.fakes->captureDevices->devices;
    listed[1].localizedName = "内置麦克风（后）";
    listed.erase(listed.begin());
    h.click("refreshButton");
    EXPECT_EQ(h.find("devicePicker")->property("count").toInt(), 2);
    EXPECT_EQ(h.find("devicePicker")->property("displayText").toString(), "内置麦克风（后）");
}

TEST_F(MainWindow, CourseBarArrangementsAndCounts)
{
    UiHarness h;
    h.land(entries(1, 4)); // before the course
    h.setDevices({{kMic, "USB 麦克风"}}, kMic);
    advance(h, 0.5);
    EXPECT_TRUE(h.shown("courseIdle"));
    press(h, "courseStartButton");
    EXPECT_TRUE(h.engine->isCourseActive());
    EXPECT_EQ(inputInUse(h), kMic);
    EXPECT_TRUE(h.shown("courseRunning"));
    EXPECT_FALSE(h.shown("courseIdle"));

    // "已记录" counts the course's own entries, not those from before it.
    h.land(entries(5, 7));
    advance(h, 3723); // the course started at 09:00:04.5
    EXPECT_EQ(h.text("courseRecordedCaption"), "已记录 3 条");
    EXPECT_EQ(h.text("courseDuration"), "01:02:05");
    // Without an API key the run explains what it needs.
    h.click("summaryButton");
    EXPECT_TRUE(h.engine->lastError().contains("DeepSeek API Key")) << h.engine->lastError().toStdString();

    h.click("courseEndButton");
    advance(h, 5);
    EXPECT_FALSE(h.engine->isRecording());
    EXPECT_TRUE(h.shown("courseCompleted"));
    EXPECT_EQ(h.text("courseCompletedCaption"), "本节课已结束（3 条翻译）");
    QSignalSpy review(h.find("contentView"), SIGNAL(isShowingCourseReviewChanged()));
    h.click("reviewCourseButton");
    EXPECT_GE(review.count(), 1);
    // The review sheet is modal: close it before using the main window again.
    h.find("contentView")->setProperty("isShowingCourseReview", false);
    h.settle(100);

    // "开始新课" starts a course without starting a second recording.
    h.engine->start(kMic);
    advance(h, 0.5);
    ASSERT_TRUE(h.engine->isRecording());
    const size_t tasks = h.fakes->recognizer->tasks.size();
    h.settle(150);
    ASSERT_TRUE(h.shown("newCourseButton"));
    // (Emitted directly: the closed modal sheet may still hold the offscreen
    // window's input grab.)
    QMetaObject::invokeMethod(h.find("newCourseButton"), "clicked");
    advance(h, 0.5);
    EXPECT_TRUE(h.engine->isCourseActive());
    EXPECT_TRUE(h.engine->isRecording());
    EXPECT_EQ(h.fakes->recognizer->tasks.size(), tasks);
}

TEST_F(MainWindow, VisibleCountClampingAndNewestFirst)
{
    UiHarness h;
    h.land(entries(1, 25));
    QStringList expected;
    for (int i = 25; i >= 16; --i)
        expected << QStringLiteral("第 %1 句。").arg(i);
    EXPECT_EQ(h.rowTexts("translationRow", "rowTarget"), expected);
    EXPECT_EQ(h.rowTexts("translationRow", "rowTime").first(), "09:00:25");

    settings->setValue(Keys::VisibleTranslationCount, 0);
    h.settle();
    EXPECT_EQ(h.rowTexts("translationRow", "rowTarget"), QStringList{"第 25 句。"});

    h.land(entries(26, 150));
    settings->setValue(Keys::VisibleTranslationCount, 500);
    h.settle();
    // The list builds only the rows near its view: the others are read from
    // the model it shows.
    QQuickItem *list = h.find("translationRepeater");
    EXPECT_EQ(list->property("count").toInt(), 100);
    EXPECT_EQ(h.rowTexts("translationRow", "rowTarget").first(), "第 150 句。");
    const auto *model = qobject_cast<QAbstractItemModel *>(list->property("model").value<QObject *>());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->index(99, 0).data(TranscriptModel::TargetRole).toString(), "第 51 句。");
    EXPECT_EQ(h.find("courseStartButton")->property("help").toString(),
              "开始课堂记录：自动开始录音，界面显示最近 100 条翻译，其余保留待课后回看");
}

TEST_F(MainWindow, SessionDurationTranscriptSectionsTranslationSwitchAndErrorLine)
{
    UiHarness h;
    h.setDevices({{kMic, "USB 麦克风"}}, kMic);
    press(h, "recordButton");
    advance(h, 3725.4);
    EXPECT_EQ(h.text("sessionDuration"), "01:02:05");
    h.fakes->recognizer->lastTask()->deliverPartial("Today we talk about <entropy> & heat.");
    advance(h, 0);
    h.settle(300);
    EXPECT_FALSE(h.shown("emptyHint"));
    EXPECT_FALSE(h.shown("waitingHint"));
    EXPECT_TRUE(h.shown("cursor"));
    EXPECT_EQ(h.find("recognizedText")->property("plain").toString(), "Today we talk about <entropy> & heat.");
    press(h, "recordButton");
    h.settle(400);
    EXPECT_FALSE(h.shown("cursor")); // faded out
    EXPECT_FALSE(h.shown("sessionDuration"));

    // The translation switch hides the Chinese section.
    EXPECT_TRUE(h.shown("chineseSection"));
    h.click("translationSwitch");
    EXPECT_FALSE(h.engine->isTranslationEnabled());
    h.settle();
    EXPECT_FALSE(h.shown("chineseSection"));
    h.click("translationSwitch");
    EXPECT_TRUE(h.engine->isTranslationEnabled());

    EXPECT_FALSE(h.shown("keyPointsSection")); // no key points yet
    h.engine->setLastError(QStringLiteral("翻译失败（英文原文已保留）：本地翻译服务未就绪"));
    h.settle();
    EXPECT_TRUE(h.shown("errorLine"));
    EXPECT_EQ(h.text("lastErrorText"), "翻译失败（英文原文已保留）：本地翻译服务未就绪");
    // A recording that starts clears it.
    press(h, "recordButton");
    EXPECT_FALSE(h.shown("errorLine"));
}

TEST_F(MainWindow, ThemeMenuStoresChoiceAndMarksCyberpunkForUnknownValueAndBackgroundMenuRestores)
{
    settings->setValue(Keys::UiTheme, "cyberpnuk");
    UiHarness h;
    h.click("themeButton");
    h.settle(200);
    ASSERT_TRUE(h.find("themeItem_cyberpunk"));
    EXPECT_TRUE(h.find("themeItem_cyberpunk")->property("current").toBool());
    EXPECT_FALSE(h.find("themeItem_swiss")->property("current").toBool());
    EXPECT_EQ(h.text("themeCaption"), "赛博朋克 · 当前主题");

    h.click("themeItem_oled");
    h.settle(100);
    EXPECT_EQ(settings->string(Keys::UiTheme), "oled");
    EXPECT_EQ(h.find("appBackground")->property("themeName").toString(), "oled");

    // The background menu offers the restore item only with a custom picture.
    QImage img(80, 60, QImage::Format_RGB32);
    img.fill(QColor(30, 160, 90));
    const QString picture = h.dirs.filePath("Pictures/lecture-hall.jpg");
    ASSERT_TRUE(img.save(picture, "JPG"));

    h.click("backgroundButton");
    h.settle(150);
    EXPECT_FALSE(h.find("clearBackgroundItem")->isVisible());
    QTest::keyClick(h.window(), Qt::Key_Escape);
    h.settle(150);

    h.app()->loadPhoto(QUrl::fromLocalFile(picture));
    h.click("backgroundButton");
    h.settle(150);
    ASSERT_TRUE(h.find("clearBackgroundItem")->isVisible());
    h.click("clearBackgroundItem");
    h.settle(100);
    EXPECT_FALSE(h.app()->background()->hasCustomBackground());
}

TEST_F(MainWindow, SubtitleButtonOpensTheFloatingWindowAndTerminationKeepsItForTheNextStart)
{
    {
        UiHarness h;
        EXPECT_EQ(h.find("subtitleButton")->property("symbol").toString(), "captions.bubble");
        // Open at exit: its frame is saved and the engine stopped, once.
        h.click("subtitleButton");
        QQuickWindow *floating = h.app()->floatingSubtitle()->window();
        ASSERT_TRUE(floating);
        settings->remove(Keys::FloatingSubtitleFrame);
        h.setDevices({{kMic, "USB 麦克风"}}, kMic);
        press(h, "recordButton");
        ASSERT_TRUE(h.engine->isRecording());
        QSignalSpy terminating(h.app(), &AppController::aboutToTerminate);
        h.voxleaf()->terminate();
        EXPECT_FALSE(h.engine->isRecording());
        const QRectF frame = subtitle::rectFromString(settings->string(Keys::FloatingSubtitleFrame));
        EXPECT_EQ(frame.size(), QSizeF(floating->width(), floating->height()));
        // Left unchanged, so the floating window opens again at the next start.
        EXPECT_TRUE(settings->boolean(Keys::SubtitleVisible));
        // Terminating twice stops once.
        h.voxleaf()->terminate();
        EXPECT_EQ(terminating.count(), 1);
    }
    UiHarness next;
    ASSERT_TRUE(next.app()->floatingSubtitle()->window());
    EXPECT_TRUE(next.app()->floatingSubtitle()->window()->isVisible());
    EXPECT_EQ(next.find("subtitleButton")->property("symbol").toString(), "captions.bubble.fill");
}
