#include "editors/settingstext.h"
#include "editors/timecodestaging.h"
#include "editors/timefieldstate.h"
#include "platform/unicodetext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

using namespace tavix;

namespace {

TEST(DecimalParse, AcceptsOnlySignedAsciiDigitsInside64Bits) {
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const std::pair<QString, std::int64_t> valid[] = {
        {u"007"_s, 7}, {u"+5"_s, 5}, {u"9223372036854775807"_s, kMax}, {u"-9223372036854775808"_s, kMin}};
    for (const auto& [text, value] : valid) {
        EXPECT_EQ(parseDecimalInt64(text), value) << text.toStdString();
    }
    for (const QString& text :
         {QString(), u"+-5"_s, u" 5"_s, u"5a"_s, u"9223372036854775808"_s, u"-9223372036854775809"_s}) {
        EXPECT_EQ(parseDecimalInt64(text), std::nullopt) << text.toStdString();
    }
}

TEST(NumericFilter, KeepsWholeGraphemesThatStartWithANumericCharacter) {
    const std::vector<std::pair<QString, QString>> cases = {
        {u"-+ 1a:2"_s, u"12"_s},
        {u"\u0663\u0664"_s, u"\u0663\u0664"_s},              // Arabic-Indic digits
        {u"\u00bd\u216b\u4e09x"_s, u"\u00bd\u216b\u4e09"_s}, // ½, Roman XII, Han three
        {u"1\u0301b"_s, u"1\u0301"_s},                       // a mark stays with its digit
        {u"1\ufe0f\u20e3"_s, u"1\ufe0f\u20e3"_s},            // keycap one is one character
        {u"\U0001d7d9\U0001f600"_s, u"\U0001d7d9"_s},        // astral digit, emoji
    };
    for (const auto& [text, kept] : cases) {
        EXPECT_EQ(keepNumericCharacters(text), kept) << text.toStdString();
    }
}

TEST(OffsetText, ShowsSignHoursAndTruncatedMinutesAndParsesWhatIsTyped) {
    const std::vector<std::pair<std::optional<double>, QString>> cases = {
        {std::nullopt, u"+0:00"_s}, {19800.0, u"+5:30"_s}, {-12600.0, u"-3:30"_s},
        {-90.0, u"-0:01"_s},        {59.9, u"+0:00"_s},    {std::nan(""), u"+0:00"_s}};
    for (const auto& [offset, text] : cases) {
        EXPECT_EQ(offsetText(offset), text) << offset.value_or(-1);
    }
    // Offsets from a hand-edited file that do not fit 64-bit minutes still give some text.
    EXPECT_FALSE(offsetText(1e300).isEmpty());
    EXPECT_FALSE(offsetText(-std::numeric_limits<double>::infinity()).isEmpty());

    // Typed offsets: signed hours and minutes; anything else reads as zero, as do the last two, which
    // would overflow 64-bit seconds.
    const std::pair<QString, double> typed[] = {
        {u"  -5:30 \t"_s, -19800}, {u"5:30.9"_s, 19800}, {u"5:30:15"_s, 19800},  {u"5:90"_s, 23400},
        {u"5::30"_s, 19800},       {u"5:.9"_s, 18540},   {u"--5:30++"_s, -19800}};
    for (const auto& [text, seconds] : typed) {
        EXPECT_EQ(parseOffsetText(text), seconds) << text.toStdString();
    }
    for (const QString& text : {u"+5"_s, u"5:x"_s, u"5:"_s, u"5 :30"_s, u"\n5:30"_s,
                                u"999999999999999999:00"_s, u"0:9223372036854775807"_s}) {
        EXPECT_EQ(parseOffsetText(text), 0) << text.toStdString();
    }
}

TEST(PercentageAndStartText, TruncateRatherThanRoundAndSurviveNaN) {
    // The usual values show in the panel and the settings window; these are the edges.
    EXPECT_EQ(percentageText(std::nan("")), u"0%"_s);
    EXPECT_EQ(countdownStartText(3599.9), u"0:59"_s);
}

} // namespace
