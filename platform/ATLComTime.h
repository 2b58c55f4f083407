// COleDateTime: an OLE automation date (days since 30 December 1899, the fraction being the
// time of day) with calendar access and strftime-style formatting. Header only.
#pragma once

#include <cmath>
#include <ctime>
#include <string>

#include "platform/CString.h"
#include "platform/oleauto.h"

class COleDateTime {
public:
    enum DateTimeStatus { error = -1, valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    COleDateTime(DATE value) { SetFromDate(value); }
    COleDateTime(int year, int month, int day, int hour, int minute, int second) {
        SetDateTime(year, month, day, hour, minute, second);
    }

    DateTimeStatus GetStatus() const { return m_status; }
    DATE m_dt = 0;

    int SetDateTime(int year, int month, int day, int hour, int minute, int second) {
        if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
            day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
            second < 0 || second > 59) {
            m_status = invalid;
            return 1;
        }
        const double days = static_cast<double>(DaysFromCivil(year, month, day) - kEpoch);
        const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
        m_dt = days >= 0 ? days + time : days - time;
        m_status = valid;
        return 0;
    }

    int GetYear() const { return Parts().tm_year + 1900; }
    int GetMonth() const { return Parts().tm_mon + 1; }
    int GetDay() const { return Parts().tm_mday; }
    int GetHour() const { return Parts().tm_hour; }
    int GetMinute() const { return Parts().tm_min; }
    int GetSecond() const { return Parts().tm_sec; }
    int GetDayOfWeek() const { return Parts().tm_wday + 1; }

    // Fills a calendar record, rounded to the nearest second; false for an invalid date.
    bool GetAsTm(std::tm& out) const {
        if (m_status != valid)
            return false;
        out = Parts();
        return true;
    }

    // strftime codes; an invalid or null date formats as the empty text.
    template <class C = char>
    CStringT<C> FormatAs(const C* format) const {
        std::tm t{};
        if (!GetAsTm(t))
            return CStringT<C>();
        const std::string fmt = qv::ToUtf8(format ? format : CStringT<C>().GetString());
        if (fmt.empty())
            return CStringT<C>();
        std::string out(64 + fmt.size() * 8, '\0');
        for (;;) {
            const std::size_t n = std::strftime(out.data(), out.size(), fmt.c_str(), &t);
            if (n > 0 || out.size() > 4096) {
                out.resize(n);
                break;
            }
            out.resize(out.size() * 4);
        }
        return CStringT<C>(qv::ConvertText<C>(std::string_view(out)));
    }
#if defined(QUARVEL_MODULE)
    CString Format(LPCTSTR format) const {
        return FormatAs<TCHAR>(format);
    }
#endif

    static constexpr double kMin = -657434.0;      // 1 January 100
    static constexpr double kMax = 2958465.99999;  // 31 December 9999, end of day

private:
    static constexpr long kEpoch = -25569;  // 1899-12-30 counted from 1970-01-01

    static long DaysFromCivil(long y, unsigned m, unsigned d) {
        y -= m <= 2;
        const long era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long>(doe) - 719468;
    }
    static void CivilFromDays(long z, int& y, int& m, int& d) {
        z += 719468;
        const long era = (z >= 0 ? z : z - 146096) / 146097;
        const unsigned doe = static_cast<unsigned>(z - era * 146097);
        const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const unsigned mp = (5 * doy + 2) / 153;
        d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
        m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
        y = static_cast<int>(static_cast<long>(yoe) + era * 400 + (m <= 2));
    }
    static bool IsLeap(int y) {
        return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    }
    static int DaysInMonth(int y, int m) {
        static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        return m == 2 && IsLeap(y) ? 29 : days[m - 1];
    }

    void SetFromDate(DATE value) {
        m_dt = value;
        m_status = std::isfinite(value) && value >= kMin && value <= kMax ? valid : invalid;
    }

    std::tm Parts() const {
        std::tm t{};
        if (m_status != valid)
            return t;
        // The whole part counts days (toward the past for negative dates); the fraction is
        // always the time of day, whatever the sign.
        double whole = std::trunc(m_dt);
        long long seconds = std::llround(std::fabs(m_dt - whole) * 86400.0);
        if (seconds >= 86400) {
            seconds -= 86400;
            whole += m_dt >= 0 ? 1 : -1;
        }
        const long days = static_cast<long>(whole) + kEpoch;
        int y = 0, m = 0, d = 0;
        CivilFromDays(days, y, m, d);
        t.tm_year = y - 1900;
        t.tm_mon = m - 1;
        t.tm_mday = d;
        t.tm_hour = static_cast<int>(seconds / 3600);
        t.tm_min = static_cast<int>(seconds / 60 % 60);
        t.tm_sec = static_cast<int>(seconds % 60);
        t.tm_wday = static_cast<int>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
        t.tm_yday = static_cast<int>(days - DaysFromCivil(y, 1, 1));
        return t;
    }

    DateTimeStatus m_status = valid;
};
