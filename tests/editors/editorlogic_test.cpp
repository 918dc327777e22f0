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
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const std::vector<std::pair<QString, std::optional<std::int64_t>>> cases = {
        {QStringLiteral(""), std::nullopt},
        {QStringLiteral("007"), 7},
        {QStringLiteral("+5"), 5},
        {QStringLiteral("+-5"), std::nullopt},
        {QStringLiteral(" 5"), std::nullopt},
        {QStringLiteral("5a"), std::nullopt},
        {QStringLiteral("9223372036854775807"), kMax},
        {QStringLiteral("9223372036854775808"), std::nullopt},
        {QStringLiteral("-9223372036854775808"), kMin},
        {QStringLiteral("-9223372036854775809"), std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseDecimalInt64(text), expected) << text.toStdString();
    }
}

TEST(NumericFilter, KeepsWholeGraphemesThatStartWithANumericCharacter) {
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("-+ 1a:2"), QStringLiteral("12")},
        {QStringLiteral("\u0663\u0664"), QStringLiteral("\u0663\u0664")}, // Arabic-Indic digits
        {QStringLiteral("\u00bd\u216b\u4e09x"),
         QStringLiteral("\u00bd\u216b\u4e09")},                                 // ½, Roman XII, Han three
        {QStringLiteral("1\u0301b"), QStringLiteral("1\u0301")},                // a mark stays with its digit
        {QStringLiteral("1\ufe0f\u20e3"), QStringLiteral("1\ufe0f\u20e3")},     // keycap one is one character
        {QStringLiteral("\U0001d7d9\U0001f600"), QStringLiteral("\U0001d7d9")}, // astral digit, emoji
    };
    for (const auto& [text, kept] : cases) {
        EXPECT_EQ(keepNumericCharacters(text), kept) << text.toStdString();
    }
}

TEST(OffsetText, ShowsSignHoursAndTruncatedMinutes) {
    const std::vector<std::pair<std::optional<double>, QString>> cases = {
        {std::nullopt, QStringLiteral("+0:00")}, {19800.0, QStringLiteral("+5:30")},
        {-12600.0, QStringLiteral("-3:30")},     {-90.0, QStringLiteral("-0:01")},
        {59.9, QStringLiteral("+0:00")},         {std::nan(""), QStringLiteral("+0:00")},
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
        {QStringLiteral("+5"), 0},
        {QStringLiteral("5:x"), 0},
        {QStringLiteral("5:30.9"), 19800},
        {QStringLiteral("5:30:15"), 19800},
        {QStringLiteral("5:90"), 23400},
        {QStringLiteral("5:"), 0},
        {QStringLiteral("5::30"), 19800},
        {QStringLiteral("5:.9"), 18540},
        {QStringLiteral("--5:30++"), -19800},
        {QStringLiteral("5 :30"), 0},
        {QStringLiteral("\n5:30"), 0},
        // Would overflow 64-bit seconds: unusable, not a crash.
        {QStringLiteral("999999999999999999:00"), 0},
        {QStringLiteral("0:9223372036854775807"), 0},
    };
    for (const auto& [text, seconds] : cases) {
        EXPECT_EQ(parseOffsetText(text), seconds) << text.toStdString();
    }
}

TEST(PercentageAndStartText, TruncateRatherThanRoundAndSurviveNaN) {
    // The usual values show in the panel and the settings window; these are the edges.
    EXPECT_EQ(percentageText(std::nan("")), QStringLiteral("0%"));
    EXPECT_EQ(countdownStartText(3599.9), QStringLiteral("0:59"));
}

} // namespace
} // namespace tavix
