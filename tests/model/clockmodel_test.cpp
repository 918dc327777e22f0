#include "model/clockbinding.h"
#include "model/clockmodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tavix;
using namespace Qt::StringLiterals;

TEST(ClockRecords, RawValuesRoundTripAndUnknownTextsGiveNone) {
    for (ClockMode mode : allClockModes()) {
        EXPECT_EQ(clockModeFromRawValue(rawValue(mode)), mode);
    }
    for (TimecodeFrameRate rate : allTimecodeFrameRates()) {
        EXPECT_EQ(timecodeFrameRateFromRawValue(rawValue(rate)), rate);
    }
    for (const char* bad : {"29.97DF", "29.97 df", "", "30 ", "Clock", "timeuntil"}) {
        EXPECT_FALSE(timecodeFrameRateFromRawValue(QString::fromUtf8(bad))) << bad;
        EXPECT_FALSE(clockModeFromRawValue(QString::fromUtf8(bad))) << bad;
    }
}

TEST(ClockRecords, CountdownComponentsSplitAndRecombineWholeSecondsOfAnyStoredValue) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    // Hand-edited files may hold anything: the components stay in range and never overflow.
    for (const auto& [stored, hours] : std::initializer_list<std::pair<double, std::int64_t>>{
             {3725.9, 1}, {kNaN, 0}, {kInf, kMax / 3600}, {-1e300, -(kMax / 3600)}, {0x1p63, kMax / 3600}}) {
        CountdownSettings s;
        s.duration = stored;
        EXPECT_EQ(s.durationHours(), hours) << stored;
        EXPECT_LE(std::abs(s.durationMinutes()), 59) << stored;
    }
    CountdownSettings c;
    c.duration = -3725;
    EXPECT_EQ(std::pair(c.durationMinutes(), c.durationSeconds()),
              (std::pair<std::int64_t, std::int64_t>(-2, -5)));
    c.duration = 3725.9;
    c.setDurationSeconds(5);
    EXPECT_EQ(c.duration, 3725) << "the fraction is dropped by the first write";
    c.setDurationMinutes(75); // not normalised
    EXPECT_EQ(c.duration, 3600 + 75 * 60 + 5);
    c.warningTime = 60;
    c.setWarningTimeSeconds(59);
    EXPECT_EQ(c.warningTime, 119);
    EXPECT_EQ(c.duration, 8105) << "the other value is untouched";

    // A write whose sum no longer fits 64 bits keeps the stored value; NaN reads as zero.
    c.duration = 1e300;
    c.setDurationSeconds(59);
    EXPECT_EQ(c.duration, 1e300);
    c.duration = 10;
    c.setDurationHours(kMax);
    EXPECT_EQ(c.duration, 10);
    c.duration = kNaN;
    c.setDurationMinutes(3);
    EXPECT_EQ(c.duration, 180);
}

TEST(ClockRecords, UuidTextIsCanonicalUpperCaseAndParsingIsStrict) {
    const QUuid id = QUuid::fromString(u"{0f8fad5b-d9cb-469f-a165-70867728950e}"_s);
    EXPECT_EQ(uuidText(id), u"0F8FAD5B-D9CB-469F-A165-70867728950E"_s);
    EXPECT_EQ(uuidFromText(u"0f8fad5b-d9cb-469f-a165-70867728950e"_s), id);
    for (const char* bad :
         {"", "{0F8FAD5B-D9CB-469F-A165-70867728950E}", "0F8FAD5BD9CB469FA16570867728950E",
          "0F8FAD5B-D9CB-469F-A165-70867728950E\n", "GF8FAD5B-D9CB-469F-A165-70867728950E"}) {
        EXPECT_FALSE(uuidFromText(QString::fromUtf8(bad))) << bad;
    }
}

TEST(ClockRecords, TargetTodayIsOnTheLocalDayOfNowAndRollsOver) {
    // Tests run with TZ=Europe/Berlin.
    const QDateTime noon(QDate(2026, 6, 1), QTime(12, 0));
    TimeUntilSettings s{18, 0, 0, ColorValue::red(), ColorValue::red(), true};
    EXPECT_EQ(s.targetToday(noon), QDateTime(QDate(2026, 6, 1), QTime(18, 0)));
    EXPECT_EQ(s.targetToday(noon.toUTC()), QDateTime(QDate(2026, 6, 1), QTime(18, 0)));

    s.targetHour = 25; // a lenient calendar rolls over into the next day
    EXPECT_EQ(s.targetToday(noon), QDateTime(QDate(2026, 6, 2), QTime(1, 0)));
    s.targetHour = 0;
    s.targetMinute = -30;
    EXPECT_EQ(s.targetToday(noon), QDateTime(QDate(2026, 5, 31), QTime(23, 30)));

    // 02:30 does not exist on the day clocks go forward; the target still falls on that day.
    s = {2, 30, 0, ColorValue::red(), ColorValue::red(), true};
    const auto skipped = s.targetToday(QDateTime(QDate(2026, 3, 29), QTime(12, 0)));
    ASSERT_TRUE(skipped);
    EXPECT_EQ(skipped->date(), QDate(2026, 3, 29));

    s.targetHour = std::numeric_limits<std::int64_t>::max();
    EXPECT_FALSE(s.targetToday(noon));
}

TEST(ClockRecords, ABindingWithoutAStoreReadsThePlaceholderAndDropsWrites) {
    const QUuid id = QUuid::createUuid();
    ClockBinding detached(nullptr, id);
    EXPECT_FALSE(detached.exists());
    EXPECT_EQ(detached.read(), ClockBinding::placeholder(id));
    detached.write(ClockBinding::placeholder(id)); // must not crash
}
