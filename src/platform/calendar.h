// The Gregorian calendar's one rule that both a date typed by a packager and
// a date read from a package must pass.
#pragma once

// Whether month 1 to 12 and day exist in that year (29 February only in leap years).
inline bool IsCalendarDate(int year, int month, int day) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}
