#include "editors/settingstext.h"
#include "editors/timecodestaging.h"
#include "editors/timefieldstate.h"
#include "platform/unicodetext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavix {
namespace {

TEST(DecimalParse, AcceptsOnlySignedAsciiDigitsInside64Bits) {
    struct Case {
        QString text;
        std::optional<std::int64_t> expected;
    };
    const std::vector<Case> cases = {
        {QStringLiteral(""), std::nullopt},
        {QStringLiteral("+"), std::nullopt},
        {QStringLiteral("-"), std::nullopt},
        {QStringLiteral("0"), 0},
        {QStringLiteral("007"), 7},
        {QStringLiteral("+5"), 5},
        {QStringLiteral("-5"), -5},
        {QStringLiteral("+-5"), std::nullopt},
        {QStringLiteral(" 5"), std::nullopt},
        {QStringLiteral("5a"), std::nullopt},
        {QStringLiteral("9223372036854775807"), std::numeric_limits<std::int64_t>::max()},
        {QStringLiteral("9223372036854775808"), std::nullopt},
        {QStringLiteral("-9223372036854775808"), std::numeric_limits<std::int64_t>::min()},
        {QStringLiteral("-9223372036854775809"), std::nullopt},
        {QStringLiteral("1234567890123456789012345"), std::nullopt},
        // Arabic-Indic digits are numeric but not ASCII: they survive the filter and fail here.
        {QStringLiteral("\u0663\u0664"), std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseDecimalInt64(c.text), c.expected) << c.text.toStdString();
    }
}

TEST(NumericFilter, KeepsWholeGraphemesThatStartWithANumericCharacter) {
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("1a:2"), QStringLiteral("12")},
        {QStringLiteral("-+ :.,5"), QStringLiteral("5")},
        {QStringLiteral("\u0663\u0664"), QStringLiteral("\u0663\u0664")}, // Arabic-Indic digits
        {QStringLiteral("\u00bd\u216b\u4e09x"),
         QStringLiteral("\u00bd\u216b\u4e09")},                  // ½, Roman XII, Han three
        {QStringLiteral("1\u0301b"), QStringLiteral("1\u0301")}, // a mark stays with its digit
        {QStringLiteral("a\u0301"), QStringLiteral("")},
        {QStringLiteral("1\ufe0f\u20e3"), QStringLiteral("1\ufe0f\u20e3")}, // keycap one is one character
        {QStringLiteral("\U0001d7d9"), QStringLiteral("\U0001d7d9")},       // mathematical digit one, astral
        {QStringLiteral("\U0001f600"), QStringLiteral("")},
    };
    for (const auto& [text, kept] : cases) {
        EXPECT_EQ(keepNumericCharacters(text), kept) << text.toStdString();
    }
}

TEST(OffsetText, ShowsSignHoursAndTruncatedMinutes) {
    const std::vector<std::pair<std::optional<double>, QString>> cases = {
        {std::nullopt, QStringLiteral("+0:00")}, {0.0, QStringLiteral("+0:00")},
        {19800.0, QStringLiteral("+5:30")},      {-12600.0, QStringLiteral("-3:30")},
        {-90.0, QStringLiteral("-0:01")},        {59.9, QStringLiteral("+0:00")},
        {23400.0, QStringLiteral("+6:30")},      {std::nan(""), QStringLiteral("+0:00")},
    };
    for (const auto& [offset, text] : cases) {
        EXPECT_EQ(offsetText(offset), text) << offset.value_or(-1);
    }
    // Offsets from a hand-edited file that do not fit 64-bit minutes still give some text.
    EXPECT_FALSE(offsetText(1e300).isEmpty());
    EXPECT_FALSE(offsetText(-std::numeric_limits<double>::infinity()).isEmpty());
}

TEST(OffsetText, ParsesSignedHoursAndMinutesAndReadsAnythingElseAsZero) {
    const std::vector<std::pair<QString, double>> cases = {
        {QStringLiteral("  -5:30 \t"), -19800},
        {QStringLiteral("+5:30"), 19800},
        {QStringLiteral("5:30"), 19800},
        {QStringLiteral("+5"), 0},
        {QStringLiteral("5:x"), 0},
        {QStringLiteral("x:30"), 0},
        {QStringLiteral("5:30.9"), 19800},
        {QStringLiteral("5:30:15"), 19800},
        {QStringLiteral("5:90"), 23400},
        {QStringLiteral("5:"), 0},
        {QStringLiteral("5::30"), 19800},
        {QStringLiteral("5:.9"), 18540},
        {QStringLiteral("--5:30++"), -19800},
        {QStringLiteral("5 :30"), 0},
        {QStringLiteral("\n5:30"), 0},
        {QStringLiteral(""), 0},
        // Would overflow 64-bit seconds: unusable, not a crash.
        {QStringLiteral("999999999999999999:00"), 0},
        {QStringLiteral("0:9223372036854775807"), 0},
    };
    for (const auto& [text, seconds] : cases) {
        EXPECT_EQ(parseOffsetText(text), seconds) << text.toStdString();
    }
}

TEST(OffsetText, StepperMovesByWholeHoursDroppingMinutes) {
    struct Case {
        std::optional<double> from;
        int direction;
        double expected;
    };
    const std::vector<Case> cases = {
        {std::nullopt, +1, 3600}, {19800, +1, 21600},   {19800, -1, 14400},
        {-19800, +1, -14400},     {-19800, -1, -21600}, {std::nan(""), -1, -3600},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(steppedOffset(c.from, c.direction), c.expected)
            << c.from.value_or(-1) << " " << c.direction;
    }
}

TEST(PercentageAndStartText, TruncateRatherThanRound) {
    EXPECT_EQ(percentageText(0.57), QStringLiteral("56%"));
    EXPECT_EQ(percentageText(0.85), QStringLiteral("85%"));
    EXPECT_EQ(percentageText(1.0), QStringLiteral("100%"));
    EXPECT_EQ(percentageText(std::nan("")), QStringLiteral("0%"));
    EXPECT_EQ(countdownStartText(1800), QStringLiteral("0:30"));
    EXPECT_EQ(countdownStartText(5400), QStringLiteral("1:30"));
    EXPECT_EQ(countdownStartText(7200), QStringLiteral("2:00"));
    EXPECT_EQ(countdownStartText(30), QStringLiteral("0:00"));
    EXPECT_EQ(countdownStartText(3599.9), QStringLiteral("0:59"));
}

// A field over a plain integer, recording the callback's runs.
struct FieldHarness {
    std::int64_t value = 0;
    int callbacks = 0;
    TimeFieldState field{{[this] { return value; }, [this](const std::int64_t& v) { value = v; }},
                         IntRange{0, 59},
                         [this] { ++callbacks; }};
};

TEST(TimeFieldState, TypingReturnAndStepperFollowTheirRules) {
    enum class Op { type, enter, up, down, outside };
    struct Step {
        Op op;
        QString text;       // typed text, or the outside value as text
        QString shown;      // text after the step
        std::int64_t value; // value after the step
        bool editing;
    };
    struct Case {
        const char* name;
        std::int64_t start;
        std::vector<Step> steps;
        int callbacks;
    };
    const std::vector<Case> cases = {
        {"digits survive, value waits for Return",
         5,
         {{Op::type, QStringLiteral("1a:2"), QStringLiteral("12"), 5, true},
          {Op::enter, {}, QStringLiteral("12"), 12, false}},
         2},
        {"Return clamps into range",
         5,
         {{Op::type, QStringLiteral("75"), QStringLiteral("75"), 5, true},
          {Op::enter, {}, QStringLiteral("59"), 59, false}},
         2},
        {"empty Return restores and still calls back once",
         5,
         {{Op::type, QStringLiteral(""), QStringLiteral(""), 5, true},
          {Op::enter, {}, QStringLiteral("5"), 5, false}},
         1},
        {"too long for 64 bits restores",
         5,
         {{Op::type, QStringLiteral("1234567890123456789012345"), QStringLiteral("1234567890123456789012345"),
           5, true},
          {Op::enter, {}, QStringLiteral("5"), 5, false}},
         1},
        {"other-script digits restore",
         5,
         {{Op::type, QStringLiteral("\u0663"), QStringLiteral("\u0663"), 5, true},
          {Op::enter, {}, QStringLiteral("5"), 5, false}},
         1},
        {"leading zeros go",
         5,
         {{Op::type, QStringLiteral("007"), QStringLiteral("007"), 5, true},
          {Op::enter, {}, QStringLiteral("7"), 7, false}},
         2},
        {"outside change ignored while typing, followed after Return",
         5,
         {{Op::type, QStringLiteral("3"), QStringLiteral("3"), 5, true},
          {Op::outside, QStringLiteral("9"), QStringLiteral("3"), 9, true},
          {Op::enter, {}, QStringLiteral("3"), 3, false},
          {Op::outside, QStringLiteral("9"), QStringLiteral("9"), 9, false}},
         2},
        {"stepper stays in range and rewrites the text",
         58,
         {{Op::up, {}, QStringLiteral("59"), 59, false},
          {Op::up, {}, QStringLiteral("59"), 59, false},
          {Op::down, {}, QStringLiteral("58"), 58, false}},
         3},
        {"stepper from a stored value outside the range",
         75,
         {{Op::down, {}, QStringLiteral("58"), 58, false}},
         1},
        {"stepper while typing rewrites but keeps editing",
         5,
         {{Op::type, QStringLiteral("40"), QStringLiteral("40"), 5, true},
          {Op::up, {}, QStringLiteral("6"), 6, true}},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FieldHarness h;
        h.value = c.start;
        h.field.firstAppearance();
        EXPECT_EQ(h.field.readText(), decimalText(c.start));
        for (const Step& step : c.steps) {
            switch (step.op) {
            case Op::type:
                h.field.writeText(step.text);
                break;
            case Op::enter:
                h.field.returnPressed();
                break;
            case Op::up:
                h.field.step(+1);
                break;
            case Op::down:
                h.field.step(-1);
                break;
            case Op::outside:
                h.value = step.text.toLongLong();
                break;
            }
            EXPECT_EQ(h.field.readText(), step.shown);
            EXPECT_EQ(h.value, step.value);
            EXPECT_EQ(h.field.isUserEditing(), step.editing);
        }
        EXPECT_EQ(h.callbacks, c.callbacks);
    }
}

TEST(TimecodeStaging, InternalDeviceNamesAndMenuTexts) {
    for (const char* name : {"MacBook Pro Speakers", "Built-in Input", "External Microphone", "BUILT IN"}) {
        EXPECT_TRUE(isInternalDeviceName(QString::fromUtf8(name))) << name;
    }
    for (const char* name : {"USB Line Interface", "Virtual Cable 2ch", "Monitor of Null Output"}) {
        EXPECT_FALSE(isInternalDeviceName(QString::fromUtf8(name))) << name;
    }
    EXPECT_EQ(deviceMenuTitle(makeAudioDeviceChoice(7, QStringLiteral("Line In"), 2)),
              QStringLiteral("Line In (2 ch)"));
    EXPECT_EQ(channelMenuTitle(0), QStringLiteral("Ch 1"));
}

TEST(TimecodeStaging, SortsByNameIgnoringCase) {
    std::vector<AudioDeviceChoice> choices = {makeAudioDeviceChoice(1, QStringLiteral("Cable"), 2),
                                              makeAudioDeviceChoice(2, QStringLiteral("audio interface"), 2),
                                              makeAudioDeviceChoice(3, QStringLiteral("Zed"), 2),
                                              makeAudioDeviceChoice(4, QStringLiteral("apple"), 2)};
    sortDeviceChoices(choices);
    QStringList names;
    for (const auto& choice : choices) {
        names << choice.name;
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("apple"), QStringLiteral("audio interface"),
                                  QStringLiteral("Cable"), QStringLiteral("Zed")}));
}

std::vector<AudioDeviceChoice> threeDevices() {
    return {makeAudioDeviceChoice(10, QStringLiteral("Eight"), 8),
            makeAudioDeviceChoice(20, QStringLiteral("Two"), 2),
            makeAudioDeviceChoice(30, QStringLiteral("Built-in Microphone"), 1)};
}

TEST(TimecodeStaging, KeepsAStoredChannelWhileTheListLoads) {
    TimecodeStaging staging;
    ASSERT_TRUE(staging.appear({TimecodeFrameRate::fps24, QStringLiteral("10"), 5}));
    EXPECT_FALSE(staging.appear({}));
    EXPECT_TRUE(staging.beginLoading(false));
    EXPECT_EQ(staging.stagedChannelIndex(), 5);
    staging.finishLoading(threeDevices());
    EXPECT_EQ(staging.stagedDeviceIDString(), QStringLiteral("10"));
    EXPECT_EQ(staging.stagedChannelIndex(), 5);
    EXPECT_EQ(staging.stagedFrameRate(), TimecodeFrameRate::fps24);
    EXPECT_TRUE(staging.canApply());
}

TEST(TimecodeStaging, ChannelClampCanApplyAndInternalRefusal) {
    TimecodeStaging staging;
    staging.appear({TimecodeFrameRate::fps25, QStringLiteral("20"), 2});
    staging.beginLoading(false);
    staging.finishLoading(threeDevices());
    // Channel 3 of a 2-channel device: listed, but not applicable until a valid channel is chosen.
    EXPECT_EQ(staging.stagedChannelIndex(), 2);
    EXPECT_FALSE(staging.canApply());
    staging.setStagedChannelIndex(1);
    EXPECT_TRUE(staging.canApply());

    staging.setStagedChannelIndex(5);
    staging.setStagedDevice(QStringLiteral("10"));
    EXPECT_EQ(staging.stagedChannelIndex(), 5);
    staging.setStagedDevice(QStringLiteral("20"));
    EXPECT_EQ(staging.stagedChannelIndex(), 1);

    const TimecodeSettings stored{TimecodeFrameRate::fps30, std::nullopt, 0};
    const auto applied = staging.settingsToApply(stored);
    ASSERT_TRUE(applied);
    EXPECT_EQ(*applied, (TimecodeSettings{TimecodeFrameRate::fps25, QStringLiteral("20"), 1}));

    staging.setStagedDevice(QStringLiteral("30"));
    EXPECT_EQ(staging.stagedChannelIndex(), 0);
    EXPECT_TRUE(staging.canApply());
    EXPECT_TRUE(staging.isStagedDeviceInternal());
    EXPECT_FALSE(staging.settingsToApply(stored));
}

TEST(TimecodeStaging, UnlistedOrEmptyListsAndOverlappingListings) {
    TimecodeStaging staging;
    staging.appear({TimecodeFrameRate::fps25, QStringLiteral("99"), 3});
    staging.beginLoading(false);
    EXPECT_FALSE(staging.beginLoading(false));
    EXPECT_TRUE(staging.beginLoading(true));
    staging.finishLoading({});
    // The first finished listing ends loading, even with another one still running.
    EXPECT_FALSE(staging.isLoading());
    EXPECT_EQ(staging.stagedDeviceIDString(), QString());
    EXPECT_EQ(staging.stagedChannelIndex(), 0);
    EXPECT_FALSE(staging.canApply());
    EXPECT_FALSE(staging.settingsToApply({}));

    staging.finishLoading(threeDevices());
    // Sorted: "Built-in Microphone" first; the stored device is gone, so the first entry is staged.
    EXPECT_EQ(staging.stagedDeviceIDString(), QStringLiteral("30"));
    EXPECT_EQ(staging.stagedChannelIndex(), 0);
}

} // namespace
} // namespace tavix
