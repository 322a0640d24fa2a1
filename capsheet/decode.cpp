// decode.cpp - the decoded columns of a row: UTC time with the capture's precision, the OMCI
// header's numbers, and their names.
#include "decode.h"

#include <charconv>
#include <cstring>

namespace capsheet {

namespace {

struct Text {
    char *at;
    void Put(const char *s, size_t n) {
        std::memcpy(at, s, n);
        at += n;
    }
    void Put(const char *s) { Put(s, std::strlen(s)); }
    void Number(int64_t v) { at = std::to_chars(at, at + 24, v).ptr; }
    // Exactly `digits` decimal digits of v, with leading zeros.
    void Digits(uint64_t v, int digits) {
        for (int i = digits - 1; i >= 0; --i, v /= 10) at[i] = static_cast<char>('0' + v % 10);
        at += digits;
    }
    void Separator() { Put(", ", 2); }
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian), for any day a 64-bit second count
// can name.
void CivilFromDays(int64_t days, int64_t &year, unsigned &month, unsigned &day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
}

void PutTime(Text &t, const Record &rec, SecondText &last) {
    if (rec.fractionDigits == 0) return;
    if (last.length == 0 || last.seconds != rec.seconds) {
        last.seconds = rec.seconds;
        last.length = FormatUtcSeconds(last.text, rec.seconds);
    }
    t.Put(last.text, last.length);
    t.Put(".", 1);
    if (rec.fractionDigits == 9) t.Digits(rec.nanoseconds, 9);
    else t.Digits(rec.nanoseconds / 1000, 6);
    t.Put("Z", 1);
}

void PutHex(Text &t, uint8_t v) {
    constexpr char digits[] = "0123456789abcdef";
    const char text[4] = {'0', 'x', digits[v >> 4], digits[v & 15]};
    t.Put(text, 4);
}

}  // namespace

size_t FormatUtcSeconds(char *out, int64_t seconds) {
    // Floor division, so times before 1970 count back from the day's start.
    const int64_t days = seconds / 86400 - (seconds % 86400 < 0);
    const int64_t inDay = seconds % 86400 + (seconds % 86400 < 0 ? 86400 : 0);
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    Text t{out};
    if (year < 0) t.Put("-", 1);
    const uint64_t absYear = year < 0 ? 0 - static_cast<uint64_t>(year) : static_cast<uint64_t>(year);
    if (absYear < 10000) t.Digits(absYear, 4);
    else t.at = std::to_chars(t.at, t.at + 24, absYear).ptr;
    t.Put("-", 1);
    t.Digits(month, 2);
    t.Put("-", 1);
    t.Digits(day, 2);
    t.Put("T", 1);
    t.Digits(static_cast<uint64_t>(inDay / 3600), 2);
    t.Put(":", 1);
    t.Digits(static_cast<uint64_t>(inDay / 60 % 60), 2);
    t.Put(":", 1);
    t.Digits(static_cast<uint64_t>(inDay % 60), 2);
    return static_cast<size_t>(t.at - out);
}

size_t FormatDecodeColumns(char *out, const Record &rec, const OmciHeader &h, SecondText &last) {
    Text t{out};
    t.Separator();
    PutTime(t, rec, last);
    t.Separator();
    if (h.Has(OmciField::kTci)) t.Number(h.tci);
    t.Separator();
    if (h.Has(OmciField::kType)) {
        const char *name = OmciMessageTypeName(h.MessageType());
        name ? t.Put(name) : t.Number(h.MessageType());
    }
    t.Separator();
    if (h.Has(OmciField::kType)) t.Put(h.type & kOmciFlagAr ? "1" : "0", 1);
    t.Separator();
    if (h.Has(OmciField::kType)) t.Put(h.type & kOmciFlagAk ? "1" : "0", 1);
    t.Separator();
    if (h.Has(OmciField::kDevice)) {
        if (h.device == kOmciBaseline) t.Put("Baseline");
        else if (h.device == kOmciExtended) t.Put("Extended");
        else PutHex(t, h.device);
    }
    t.Separator();
    if (h.Has(OmciField::kMeClass)) t.Number(h.meClass);
    t.Separator();
    if (h.Has(OmciField::kMeClass)) {
        if (const char *name = OmciMeClassName(h.meClass)) t.Put(name);
    }
    t.Separator();
    if (h.Has(OmciField::kMeInstance)) t.Number(h.meInstance);
    t.Separator();
    if (h.result >= 0) {
        const char *name = OmciResultName(static_cast<uint8_t>(h.result));
        name ? t.Put(name) : t.Number(h.result);
    }
    return static_cast<size_t>(t.at - out);
}

}  // namespace capsheet
