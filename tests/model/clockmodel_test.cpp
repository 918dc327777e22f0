#include "model/clockbinding.h"
#include "model/clockmodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tavix;

TEST(ClockRecords, RawValuesRoundTripAndUnknownTextsGiveNone) {
    for (ClockMode mode : allClockModes()) {
        EXPECT_EQ(clockModeFromRawValue(rawValue(mode)), mode);
    }
    for (TimecodeFrameRate rate : allTimecodeFrameRates()) {
        EXPECT_EQ(timecodeFrameRateFromRawValue(rawValue(rate)), rate);
    }
    EXPECT_EQ(timecodeFrameRateFromRawValue(QStringLiteral("29.97 DF")), TimecodeFrameRate::fps29_97DF);
    for (const char* bad : {"29.97DF", "29.97 df", "", "30 ", "Clock"}) {
        EXPECT_FALSE(timecodeFrameRateFromRawValue(QString::fromUtf8(bad))) << bad;
        EXPECT_FALSE(clockModeFromRawValue(QString::fromUtf8(bad))) << bad;
    }
    EXPECT_FALSE(clockModeFromRawValue(QStringLiteral("timeuntil")));
    EXPECT_EQ(framesPerSecond(TimecodeFrameRate::fps29_97DF), 29.97);
    EXPECT_EQ(framesPerSecond(TimecodeFrameRate::fps23_976), 23.976);
}

TEST(ClockRecords, CountdownComponentsSplitAndRecombineWholeSeconds) {
    CountdownSettings c;
    c.duration = 3725.9;
    EXPECT_EQ(c.durationHours(), 1);
    EXPECT_EQ(c.durationMinutes(), 2);
    EXPECT_EQ(c.durationSeconds(), 5);
    c.setDurationSeconds(5);
    EXPECT_EQ(c.duration, 3725); // the fraction is dropped by the first write

    c.duration = 3600;
    c.setDurationMinutes(75); // not normalised
    EXPECT_EQ(c.duration, 8100);
    EXPECT_EQ(c.durationHours(), 2);
    EXPECT_EQ(c.durationMinutes(), 15);
    EXPECT_EQ(c.durationSeconds(), 0);

    c.warningTime = 60;
    c.setWarningTimeSeconds(59);
    EXPECT_EQ(c.warningTime, 119);
    EXPECT_EQ(c.duration, 8100); // the other value is untouched

    c.duration = -3725;
    EXPECT_EQ(c.durationHours(), -1);
    EXPECT_EQ(c.durationMinutes(), -2);
    EXPECT_EQ(c.durationSeconds(), -5);
}

TEST(ClockRecords, CountdownComponentsOfHandEditedExtremeValuesAreSafe) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    struct Case {
        double stored;
        std::int64_t hours;
    };
    for (const Case& c :
         {Case{kNaN, 0}, Case{kInf, kMax / 3600}, Case{-kInf, -(kMax / 3600)}, Case{1e300, kMax / 3600},
          Case{-1e300, -(kMax / 3600)}, Case{0x1p63, kMax / 3600}}) {
        CountdownSettings s;
        s.duration = c.stored;
        EXPECT_EQ(s.durationHours(), c.hours) << c.stored;
        EXPECT_GE(s.durationMinutes(), -59);
        EXPECT_LE(s.durationMinutes(), 59);
    }

    // A write whose sum no longer fits 64 bits keeps the stored value.
    CountdownSettings s;
    s.duration = 1e300;
    s.setDurationSeconds(59);
    EXPECT_EQ(s.duration, 1e300);
    s.duration = 10;
    s.setDurationHours(kMax);
    EXPECT_EQ(s.duration, 10);
    // NaN reads as zero, so a write makes it a plain value again.
    s.duration = kNaN;
    s.setDurationMinutes(3);
    EXPECT_EQ(s.duration, 180);
}

TEST(ClockRecords, NewClockCopiesTheDefaultsAndEqualityComparesEveryField) {
    AppSettings settings;
    settings.defaultOpacity = 0.7;
    settings.defaultCountdownDuration = 600;
    settings.defaultTimeUntilFlashAtTarget = false;
    const ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock 4"), settings);
    EXPECT_EQ(clock.opacity, 0.7);
    EXPECT_EQ(clock.timeZoneOffset, 0.0);
    ASSERT_TRUE(clock.countdown && clock.stopwatch && clock.timecode && clock.timeUntil);
    EXPECT_EQ(*clock.countdown,
              (CountdownSettings{600, 600, false, 60, ColorValue::yellow(), ColorValue::yellow(), true}));
    EXPECT_EQ(*clock.timecode, (TimecodeSettings{TimecodeFrameRate::fps30, std::nullopt, 0}));
    EXPECT_EQ(*clock.timeUntil, (TimeUntilSettings{18, 0, 0, ColorValue::red(), ColorValue::red(), false}));

    ClockModel other = clock;
    other.id = QUuid::createUuid();
    EXPECT_NE(other, clock);
    other = clock;
    other.timeZoneOffset.reset(); // absent differs from a present 0
    EXPECT_NE(other, clock);
}

TEST(ClockRecords, ColoursCompareByKindAndComponents) {
    const RgbaComponents g = ColorValue::green().components();
    // A named colour is resolved only when written, so it differs from a component colour of its numbers.
    EXPECT_NE(ColorValue::green(), ColorValue::srgb(g.red, g.green, g.blue, g.alpha));
    EXPECT_NE(ColorValue::green(), ColorValue::red());
    EXPECT_NE(ColorValue::srgb(1, 0.5, 0, 0.25), ColorValue::srgb(1, 0.5, 0, 0.26));
    EXPECT_EQ(ColorValue::black().components(), (RgbaComponents{0, 0, 0, 1}));
}

TEST(ClockRecords, UuidTextIsCanonicalUpperCaseAndParsingIsStrict) {
    const QUuid id = QUuid::fromString(QStringLiteral("{0f8fad5b-d9cb-469f-a165-70867728950e}"));
    EXPECT_EQ(uuidText(id), QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E"));
    EXPECT_EQ(uuidFromText(QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e")), id);
    EXPECT_EQ(uuidFromText(uuidText(id)), id);
    for (const char* bad : {"", "{0F8FAD5B-D9CB-469F-A165-70867728950E}", "0F8FAD5BD9CB469FA16570867728950E",
                            "0F8FAD5B-D9CB-469F-A165-70867728950", "0F8FAD5B-D9CB-469F-A165-70867728950E\n",
                            "GF8FAD5B-D9CB-469F-A165-70867728950E", "not a uuid"}) {
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

TEST(ClockRecords, BindingReadsThePlaceholderForAMissingClockAndDropsWrites) {
    const QUuid id = QUuid::createUuid();
    const ClockModel placeholder = ClockBinding::placeholder(id);
    EXPECT_EQ(placeholder.name, QStringLiteral("Deleted Clock"));
    EXPECT_EQ(placeholder.opacity, 0.5);
    EXPECT_EQ(placeholder.foregroundColor, ColorValue::gray());

    ClockBinding detached(nullptr, id);
    EXPECT_FALSE(detached.exists());
    EXPECT_EQ(detached.read(), placeholder);
    detached.write(placeholder); // must not crash
}
