#pragma once
// Translation entries as the rows the views show.
#include "course/CourseRecords.h"

#include <QString>
#include <QVariantMap>
#include <vector>

namespace vox::ui {

// {id, timestamp ("HH:mm:ss", local time), source, target, audioTime}.
QVariantMap entryToMap(const TranslationEntry &e);
// "HH:mm:ss" in local time, one shared formatter for every row.
QString timeOfDay(const Date &d);

// The last n entries (n clamped to 1…100) in stored order.
std::vector<TranslationEntry> lastEntries(const std::vector<TranslationEntry> &all, int count);

} // namespace vox::ui
