import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Voxleaf

// The course bar: start a course, the running course (duration, count,
// key points, end), its saving, and the ended course's review.
Card {
    id: bar
    objectName: "courseBar"
    property bool isCourseActive: false
    property bool isEndingCourse: false
    property int visibleCount: 0
    // A low window: tighter padding.
    property bool dense: false
    // "回看本节课": the course that just ended.
    signal reviewRequested()

    padding: dense ? 7 : 12
    Layout.preferredHeight: 30 + 2 * padding
    RowLayout {
        anchors.fill: parent
        spacing: 10
        Symbol {
            name: "graduationcap.fill"
            size: 16
            color: Theme.primary
        }
        Text {
            text: "课堂模式"
            font.pixelSize: Theme.FontBody
            font.bold: true
            color: Theme.textPrimary
        }

        // Course running.
        RowLayout {
            objectName: "courseRunning"
            visible: bar.isCourseActive
            Layout.fillWidth: true
            spacing: 10
            Text {
                objectName: "courseDuration"
                text: App.courseDurationText
                font.family: "DejaVu Sans Mono"
                font.pixelSize: Theme.FontBody
                color: Theme.textPrimary
                HoverHandler { id: courseDurationHover }
                HelpToolTip { text: "本节课已进行时长"; visible: courseDurationHover.hovered }
            }
            Text {
                objectName: "courseRecordedCaption"
                Layout.fillWidth: true
                text: "已记录 " + App.courseEntryCount + " 条"
                font.pixelSize: Theme.FontFootnote
                color: Theme.textSecondary
                elide: Text.ElideRight
            }
            ThemedButton {
                objectName: "summaryButton"
                symbol: "list.bullet.rectangle"
                text: "生成要点"
                busy: App.engine ? App.engine.isSummarizing : false
                tint: Theme.primary
                help: "调用 DeepSeek 把本节课内容提炼为要点（每 10 分钟自动生成）"
                onClicked: App.generateSummary()
            }
            ThemedButton {
                objectName: "courseEndButton"
                prominent: true
                tint: Theme.danger
                symbol: "stop.circle.fill"
                text: "课程结束"
                help: "结束本节课：归档全部翻译记录，可课后回看"
                onClicked: App.endCourse()
            }
        }

        // Course ended, its last sentences and its file on the way.
        RowLayout {
            objectName: "courseSaving"
            visible: bar.isEndingCourse
            Layout.fillWidth: true
            spacing: 8
            Symbol {
                name: "arrow.triangle.2.circlepath"
                size: 15
                color: Theme.primary
                RotationAnimation on rotation {
                    running: bar.isEndingCourse
                    from: 0
                    to: 360
                    duration: 1400
                    loops: Animation.Infinite
                }
            }
            Text {
                objectName: "courseSavingCaption"
                Layout.fillWidth: true
                text: App.courseSavingText
                font.pixelSize: Theme.FontFootnote
                color: Theme.textPrimary
                elide: Text.ElideRight
            }
        }

        // Course ended, its record available.
        RowLayout {
            objectName: "courseCompleted"
            visible: !bar.isCourseActive && !bar.isEndingCourse && App.hasCompletedCourse
            Layout.fillWidth: true
            spacing: 10
            Text {
                objectName: "courseCompletedCaption"
                Layout.fillWidth: true
                text: "本节课已结束（" + App.completedCourseEntryCount + " 条翻译）"
                font.pixelSize: Theme.FontFootnote
                color: Theme.textSecondary
                elide: Text.ElideRight
            }
            ThemedButton {
                objectName: "reviewCourseButton"
                symbol: "clock.arrow.circlepath"
                text: "回看本节课"
                tint: Theme.primary
                help: "查看本节课完整翻译记录"
                onClicked: bar.reviewRequested()
            }
            ThemedButton {
                objectName: "newCourseButton"
                prominent: true
                tint: Theme.secondary
                symbol: "play.circle.fill"
                text: "开始新课"
                onClicked: App.startCourse()
            }
        }

        // No course yet.
        RowLayout {
            objectName: "courseIdle"
            visible: !bar.isCourseActive && !bar.isEndingCourse && !App.hasCompletedCourse
            Layout.fillWidth: true
            spacing: 10
            Item { Layout.fillWidth: true }
            ThemedButton {
                objectName: "courseStartButton"
                prominent: true
                tint: Theme.secondary
                symbol: "play.circle.fill"
                text: "课程开始"
                help: "开始课堂记录：自动开始录音，界面显示最近 " + bar.visibleCount + " 条翻译，其余保留待课后回看"
                onClicked: App.startCourse()
            }
        }
    }
}
