// The main window loaded offscreen: permission gate, record and course
// controls, transcript area, menus, settings bindings and termination.
#include "UiHarness.h"

#include "platform/Settings.h"
#include "ui/FloatingSubtitleController.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace vox;
using namespace vox::test;

namespace {
const QString kMic = QStringLiteral("alsa_input.usb-mic");
const QString kOther = QStringLiteral("alsa_input.pci-analog");

QStringList rowTargets(UiHarness &h)
{
    QStringList out;
    for (QQuickItem *row : h.findAll("translationRow"))
        if (row->isVisible())
            out << h.find("rowTarget", row)->property("text").toString();
    return out;
}

std::vector<TranslationEntry> entries(int n)
{
    std::vector<TranslationEntry> out;
    for (int i = 1; i <= n; ++i)
        out.push_back(makeEntry(i));
    return out;
}
} // namespace

class MainWindow : public ::testing::Test {
protected:
    ScopedSettings settings;
};

TEST_F(MainWindow, FirstStartWithNoStoredSettings)
{
    UiHarness h;
    ASSERT_TRUE(h.window());
    EXPECT_EQ(h.window()->minimumSize(), QSize(560, 440));
    EXPECT_TRUE(h.shown("contentView"));
    // The main view asked for the device list once it was shown.
    EXPECT_EQ(h.devices->refreshCount, 1);
    EXPECT_EQ(h.text("statusBadgeText"), "就绪");
    EXPECT_EQ(h.text("emptyTranslationsText"), "翻译结果将显示在这里（显示最近 10 条）");
    EXPECT_TRUE(h.shown("emptyHint"));
    EXPECT_TRUE(h.shown("courseStartButton"));
    EXPECT_FALSE(h.shown("errorLine"));
    EXPECT_EQ(h.find("subtitleButton")->property("help").toString(), "弹出 / 收起悬浮字幕窗（仅显示最近两句）");
    EXPECT_EQ(h.find("historyButton")->property("help").toString(), "历史课程：浏览与检索已归档的课堂记录");
    EXPECT_EQ(h.find("settingsButton")->property("help").toString(), "翻译设置：翻译引擎 / API Key / 术语表");
    EXPECT_EQ(h.find("themeButton")->property("help").toString(),
              "切换界面主题：赛博朋克 / 极简瑞士 / OLED 暗黑 / 玻璃拟态");
    EXPECT_EQ(h.find("backgroundButton")->property("help").toString(), "更换应用背景");
    EXPECT_EQ(h.find("recordButton")->property("help").toString(), "开始 / 停止语音识别（Ctrl+空格）");
    // Nothing was written just by starting.
    EXPECT_TRUE(settings->keys().isEmpty()) << settings->keys().join(',').toStdString();
}

TEST_F(MainWindow, PermissionGateTextsButtonStatesAndLiveSwitch)
{
    UiHarness h(false);
    EXPECT_TRUE(h.shown("permissionView"));
    EXPECT_FALSE(h.shown("contentView"));
    EXPECT_EQ(h.text("permissionTitle"), "需要麦克风与语音识别权限");
    EXPECT_EQ(h.text("permissionExplanation"), "本应用完全在本地处理语音：\n识别您的英语发音并实时转换为文字。");
    EXPECT_FALSE(h.shown("denialHint"));
    EXPECT_EQ(h.text("permissionButton"), "授权并继续");

    h.click("permissionButton");
    EXPECT_EQ(h.permissions->requests, 1);
    EXPECT_TRUE(h.app()->isRequestingPermissions());
    EXPECT_EQ(h.text("permissionButton"), "");
    EXPECT_EQ(h.find("permissionButton")->property("busy").toBool(), true);
    // A second press while asking does nothing.
    h.click("permissionButton");
    EXPECT_EQ(h.permissions->requests, 1);

    h.permissions->finishRequest(1, 3); // microphone denied
    h.settle();
    EXPECT_FALSE(h.app()->isRequestingPermissions());
    EXPECT_EQ(h.text("permissionButton"), "已打开系统设置后，点此重试");
    EXPECT_TRUE(h.shown("denialHint"));
    EXPECT_EQ(h.text("denialHint"), "麦克风权限被拒绝");

    h.click("permissionButton");
    h.permissions->finishRequest(3, 3);
    h.settle();
    EXPECT_TRUE(h.shown("contentView"));
    EXPECT_FALSE(h.shown("permissionView"));
}

TEST_F(MainWindow, RecordButtonAndShortcutStartAndStopAndEndCourse)
{
    UiHarness h;
    // No device selected: nothing happens.
    h.click("recordButton");
    EXPECT_TRUE(h.engine->calls.isEmpty());

    h.setDevices({{kMic, "USB 麦克风"}, {kOther, "内置麦克风"}}, kMic);
    EXPECT_EQ(h.find("devicePicker")->property("displayText").toString(), "USB 麦克风");
    h.click("recordButton");
    EXPECT_EQ(h.engine->calls, QStringList{"start:" + kMic});
    EXPECT_EQ(h.text("recordButton"), "停止");
    EXPECT_EQ(h.text("statusBadgeText"), "识别中");
    EXPECT_TRUE(h.shown("waitingHint"));
    h.click("recordButton");
    EXPECT_EQ(h.engine->calls.last(), "stop");
    EXPECT_EQ(h.text("recordButton"), "开始");

    // Ctrl+Space from the window, twice; the second stop also ends the course.
    h.engine->calls.clear();
    h.engine->setProperty("isCourseActive", true);
    QTest::keyClick(h.window(), Qt::Key_Space, Qt::ControlModifier);
    h.settle();
    EXPECT_EQ(h.engine->calls, QStringList{"start:" + kMic});
    QTest::keyClick(h.window(), Qt::Key_Space, Qt::ControlModifier);
    h.settle();
    EXPECT_EQ(h.engine->calls, (QStringList{"start:" + kMic, "stop", "endCourse"}));
}

TEST_F(MainWindow, DeviceChangeRestartsOnlyWhileRecording)
{
    UiHarness h;
    h.setDevices({{kMic, "USB 麦克风"}, {kOther, "内置麦克风"}}, kMic);
    h.devices->setProperty("selectedDeviceID", kOther);
    h.settle();
    EXPECT_TRUE(h.engine->calls.isEmpty());

    h.engine->setProperty("isRecording", true);
    h.devices->setProperty("selectedDeviceID", kMic);
    h.settle();
    EXPECT_EQ(h.engine->calls, QStringList{"start:" + kMic});
    h.devices->setProperty("selectedDeviceID", QString()); // absent: nothing
    h.settle();
    EXPECT_EQ(h.engine->calls.size(), 1);

    h.click("refreshButton");
    EXPECT_EQ(h.devices->refreshCount, 2);
}

TEST_F(MainWindow, CourseBarArrangementsAndCounts)
{
    UiHarness h;
    h.setDevices({{kMic, "USB 麦克风"}}, kMic);
    EXPECT_TRUE(h.shown("courseIdle"));
    h.click("courseStartButton");
    EXPECT_EQ(h.engine->calls, (QStringList{"startCourse", "start:" + kMic}));
    EXPECT_TRUE(h.shown("courseRunning"));
    EXPECT_FALSE(h.shown("courseIdle"));

    // "已记录" counts the course's own entries, not those from before it.
    h.engine->setEntries(entries(7));
    h.engine->setProperty("courseEntryCount", 3);
    h.engine->setProperty("courseDuration", 3725.9);
    h.settle();
    EXPECT_EQ(h.text("courseRecordedCaption"), "已记录 3 条");
    EXPECT_EQ(h.text("courseDuration"), "01:02:05");
    h.click("summaryButton");
    EXPECT_EQ(h.engine->calls.last(), "generateSummary");

    h.engine->calls.clear();
    h.click("courseEndButton");
    EXPECT_EQ(h.engine->calls, (QStringList{"endCourse", "stop"}));

    CourseSession done;
    done.entries = entries(5);
    h.engine->setCompleted(done);
    h.settle();
    EXPECT_TRUE(h.shown("courseCompleted"));
    EXPECT_EQ(h.text("courseCompletedCaption"), "本节课已结束（5 条翻译）");
    QSignalSpy review(h.find("contentView"), SIGNAL(isShowingCourseReviewChanged()));
    h.click("reviewCourseButton");
    EXPECT_GE(review.count(), 1);
    // The review sheet is modal: close it before using the main window again.
    h.find("contentView")->setProperty("isShowingCourseReview", false);
    h.settle(100);

    // "开始新课" starts a course without starting a second recording.
    h.engine->setProperty("isRecording", true);
    h.engine->calls.clear();
    h.settle(150);
    ASSERT_TRUE(h.shown("newCourseButton"));
    // (Emitted directly: the closed modal sheet may still hold the offscreen
    // window's input grab.)
    QMetaObject::invokeMethod(h.find("newCourseButton"), "clicked");
    EXPECT_EQ(h.engine->calls, QStringList{"startCourse"});
}

TEST_F(MainWindow, VisibleCountClampingAndNewestFirst)
{
    UiHarness h;
    h.engine->setEntries(entries(25));
    h.settle();
    QStringList expected;
    for (int i = 25; i >= 16; --i)
        expected << QStringLiteral("第 %1 句。").arg(i);
    EXPECT_EQ(rowTargets(h), expected);
    EXPECT_EQ(h.find("translationRow")->findChild<QQuickItem *>("rowTime")->property("text").toString(), "09:00:25");

    settings->setValue(Keys::VisibleTranslationCount, 0);
    h.settle();
    EXPECT_EQ(rowTargets(h), QStringList{"第 25 句。"});

    h.engine->setEntries(entries(150));
    settings->setValue(Keys::VisibleTranslationCount, 500);
    h.settle();
    const QStringList rows = rowTargets(h);
    EXPECT_EQ(rows.size(), 100);
    EXPECT_EQ(rows.first(), "第 150 句。");
    EXPECT_EQ(rows.last(), "第 51 句。");
    EXPECT_EQ(h.find("courseStartButton")->property("help").toString(),
              "开始课堂记录：自动开始录音，界面显示最近 100 条翻译，其余保留待课后回看");
}

TEST_F(MainWindow, SessionDurationWhileRecordingAndTranslationSwitchHidesChinese)
{
    UiHarness h;
    h.engine->setProperty("sessionDuration", 3725.9);
    h.engine->setProperty("isRecording", true);
    h.settle();
    EXPECT_TRUE(h.shown("sessionDuration"));
    EXPECT_EQ(h.text("sessionDuration"), "01:02:05");
    h.engine->setProperty("isRecording", false);
    h.settle();
    EXPECT_FALSE(h.shown("sessionDuration"));

    // The translation switch hides the Chinese section.
    EXPECT_TRUE(h.shown("chineseSection"));
    h.click("translationSwitch");
    EXPECT_FALSE(h.engine->isTranslationEnabled);
    h.settle();
    EXPECT_FALSE(h.shown("chineseSection"));
    h.click("translationSwitch");
    EXPECT_TRUE(h.engine->isTranslationEnabled);
}

TEST_F(MainWindow, TranscriptSectionsAndErrorLine)
{
    UiHarness h;
    h.engine->setProperty("recognizedText", "Today we talk about <entropy> & heat.");
    h.engine->setProperty("isRecording", true);
    h.settle(300);
    EXPECT_FALSE(h.shown("emptyHint"));
    EXPECT_FALSE(h.shown("waitingHint"));
    EXPECT_TRUE(h.shown("cursor"));
    EXPECT_EQ(h.find("recognizedText")->property("plain").toString(), "Today we talk about <entropy> & heat.");
    h.engine->setProperty("isRecording", false);
    h.settle(400);
    EXPECT_FALSE(h.shown("cursor")); // faded out

    EXPECT_FALSE(h.shown("keyPointsSection"));
    h.engine->setProperty("summaryPoints", QStringList{"熵的定义", "热力学第二定律"});
    h.settle();
    EXPECT_TRUE(h.shown("keyPointsSection"));
    EXPECT_EQ(h.text("keyPointsCount"), "2 条");

    h.engine->setProperty("lastError", QStringLiteral("翻译失败（英文原文已保留）：本地翻译服务未就绪"));
    h.settle();
    EXPECT_TRUE(h.shown("errorLine"));
    EXPECT_EQ(h.text("lastErrorText"), "翻译失败（英文原文已保留）：本地翻译服务未就绪");
    h.engine->setProperty("lastError", QVariant());
    h.settle();
    EXPECT_FALSE(h.shown("errorLine"));
}

TEST_F(MainWindow, ThemeMenuStoresChoiceAndMarksCyberpunkForUnknownValue)
{
    settings->setValue(Keys::UiTheme, "cyberpnuk");
    UiHarness h;
    h.click("themeButton");
    h.settle(200);
    QQuickItem *cyber = h.find("themeItem_cyberpunk");
    ASSERT_TRUE(cyber);
    EXPECT_TRUE(cyber->property("current").toBool());
    EXPECT_FALSE(h.find("themeItem_swiss")->property("current").toBool());
    EXPECT_EQ(h.text("themeCaption"), "赛博朋克 · 当前主题");

    h.click("themeItem_oled");
    h.settle(100);
    EXPECT_EQ(settings->string(Keys::UiTheme), "oled");
    EXPECT_EQ(h.find("appBackground")->property("themeName").toString(), "oled");
}

TEST_F(MainWindow, BackgroundMenuOffersRestoreOnlyWithACustomPicture)
{
    UiHarness h;
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

TEST_F(MainWindow, SubtitleButtonTogglesAndTerminationKeepsTheWindowForTheNextStart)
{
    {
        UiHarness h;
        EXPECT_EQ(h.find("subtitleButton")->property("symbol").toString(), "captions.bubble");
        h.click("subtitleButton");
        EXPECT_TRUE(settings->boolean(Keys::SubtitleVisible));
        EXPECT_EQ(h.find("subtitleButton")->property("symbol").toString(), "captions.bubble.fill");
        h.click("subtitleButton");
        EXPECT_FALSE(settings->boolean(Keys::SubtitleVisible));

        // Open at exit: its frame is saved and the engine stopped, once.
        h.click("subtitleButton");
        QQuickWindow *floating = h.app()->floatingSubtitle()->window();
        ASSERT_TRUE(floating);
        settings->remove(Keys::FloatingSubtitleFrame);
        h.engine->setProperty("isRecording", true);
        h.voxleaf()->terminate();
        EXPECT_EQ(h.engine->calls, QStringList{"stop"});
        const QRectF frame = subtitle::rectFromString(settings->string(Keys::FloatingSubtitleFrame));
        EXPECT_EQ(frame.size(), QSizeF(floating->width(), floating->height()));
        // Left unchanged, so the floating window opens again at the next start.
        EXPECT_TRUE(settings->boolean(Keys::SubtitleVisible));
        // Terminating twice stops once.
        h.voxleaf()->terminate();
        EXPECT_EQ(h.engine->calls.size(), 1);
    }
    UiHarness next;
    ASSERT_TRUE(next.app()->floatingSubtitle()->window());
    EXPECT_TRUE(next.app()->floatingSubtitle()->window()->isVisible());
    EXPECT_EQ(next.find("subtitleButton")->property("symbol").toString(), "captions.bubble.fill");
}
