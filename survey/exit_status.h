#pragma once

// mendrik-survey's exit statuses, as cmp and diff have them.
inline constexpr int kSurveyNothingToRepair = 0;
inline constexpr int kSurveySomethingToRepair = 1;  // or mendrik would stop
inline constexpr int kSurveyTrouble = 2;  // usage, unreadable file, range
