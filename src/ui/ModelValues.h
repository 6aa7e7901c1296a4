#pragma once
// Reading the engine's published values for the views. The views only need
// plain lists and maps; these helpers accept the engine's own value types
// (std::vector / QList of TranslationEntry, std::optional<CourseSession>) as
// well as lists of maps, so the views stay the same whatever form a
// property carries.
#include "course/CourseRecords.h"

#include <QString>
#include <QVariant>
#include <QVariantList>
#include <optional>
#include <vector>

namespace vox::ui {

std::vector<TranslationEntry> entriesFromVariant(const QVariant &v);
std::optional<CourseSession> courseFromVariant(const QVariant &v);
QStringList stringsFromVariant(const QVariant &v);

// {id, timestamp ("HH:mm:ss", local time), source, target, audioTime}.
QVariantMap entryToMap(const TranslationEntry &e);
// "HH:mm:ss" in local time, one shared formatter for every row.
QString timeOfDay(const Date &d);

// The last n entries (n clamped to 1…100) in stored order.
std::vector<TranslationEntry> lastEntries(const std::vector<TranslationEntry> &all, int count);

// Permission states arrive as enum values (notDetermined, denied,
// restricted, granted) or their names.
enum class PermissionState { NotDetermined, Denied, Restricted, Granted };
PermissionState permissionFromVariant(const QVariant &v);

} // namespace vox::ui
