#include "model/plistnode.h"
#include "model/statecodec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <limits>

using namespace tavix;

namespace {

ColorValue rgba(double r, double g, double b, double a) {
    return ColorValue::srgb(r, g, b, a);
}

// Every field present, every colour made of components (as colours read back), awkward values.
PersistenceContainer fullState() {
    PersistenceContainer state;
    ClockModel clock;
    clock.id = QUuid::createUuid();
    clock.name = QStringLiteral("Studio \u00C9 \U0001F600 & <A> >");
    clock.mode = ClockMode::timecode;
    clock.foregroundColor = rgba(0.1, 0.2, 0.3, 0.4);
    clock.backgroundColor = rgba(-0.5, 1.5, 1.0 / 3.0, 1);
    clock.outlineColor = rgba(1, 1, 1, 0);
    clock.opacity = 0.57;
    clock.alwaysOnTop = true;
    clock.windowOrigin = {-1234.5, 987.25};
    clock.windowSize = {360, 150.125};
    clock.timeZoneOffset = -19800;
    clock.countdown = CountdownSettings{
        -1e308, std::numeric_limits<double>::infinity(), true, 60, rgba(1, 0.8, 0, 1), rgba(1, 0.8, 0, 0.5),
        false};
    clock.stopwatch = StopwatchSettings{12.25, true};
    clock.timecode = TimecodeSettings{TimecodeFrameRate::fps29_97DF, QStringLiteral("4011"), -1,
                                      QStringLiteral("Studio <Interface> & Co")};
    clock.timeUntil = TimeUntilSettings{
        30, std::numeric_limits<std::int64_t>::min(), 0, rgba(1, 0, 0, 1), rgba(0.5, 0, 0, 1), true};
    ClockModel sparse = clock;
    sparse.id = QUuid::createUuid();
    sparse.name.clear();
    sparse.timeZoneOffset.reset();
    sparse.countdown.reset();
    sparse.stopwatch.reset();
    sparse.timecode.reset();
    sparse.timeUntil.reset();
    state.clocks = {clock, sparse};
    state.settings = {rgba(0, 1, 0, 1),
                      rgba(0, 0, 0, 1),
                      rgba(0, 0.5, 0, 1),
                      0.35,
                      true,
                      30,
                      rgba(1, 0, 0, 1),
                      rgba(1, 0.1, 0, 1),
                      false};
    return state;
}

PlistNode parse(const QByteArray& bytes) {
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    return PlistNode(root);
}

QByteArray serialise(plist_t root, bool binary) {
    char* out = nullptr;
    uint32_t length = 0;
    binary ? plist_to_bin(root, &out, &length) : plist_to_xml(root, &out, &length);
    QByteArray bytes(out, static_cast<qsizetype>(length));
    std::free(out);
    return bytes;
}

plist_t firstClock(plist_t root) {
    return plist_array_get_item(plist_dict_get_item(root, "clocks"), 0);
}

} // namespace

TEST(StateCodec, WritesAndReadsBackEqualRecordsOmittingAbsentFields) {
    const PersistenceContainer state = fullState();
    const auto bytes = encodeStateFile(state, nullptr);
    ASSERT_TRUE(bytes);
    QString error;
    const auto decoded = decodeStateFile(*bytes, &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(*decoded, state); // reals come back as the very same doubles

    const PlistNode root = parse(*bytes);
    plist_t sparse = plist_array_get_item(plist_dict_get_item(root.get(), "clocks"), 1);
    for (const char* key : {"timeZoneOffset", "countdown", "stopwatch", "timecode", "timeUntil"}) {
        EXPECT_EQ(plist_dict_get_item(sparse, key), nullptr) << key;
    }
}

TEST(StateCodec, NamedColoursAreWrittenAsTheirPaletteComponents) {
    PersistenceContainer state;
    state.clocks = {ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("A"), AppSettings{})};
    const auto decoded = decodeStateFile(*encodeStateFile(state, nullptr), nullptr);
    ASSERT_TRUE(decoded);
    const RgbaComponents green = paletteComponents(NamedColor::green);
    EXPECT_EQ(decoded->clocks[0].foregroundColor, rgba(green.red, green.green, green.blue, green.alpha));
    EXPECT_EQ(decoded->clocks[0].backgroundColor, rgba(0, 0, 0, 1));
}

TEST(StateCodec, ReadsBinaryListsUnknownKeysAndIntegersWhereRealsAreExpected) {
    const PersistenceContainer state = fullState();
    const PlistNode root = parse(*encodeStateFile(state, nullptr));
    plist_dict_set_item(firstClock(root.get()), "somethingNewer", plist_new_string("ignored"));
    plist_dict_set_item(plist_dict_get_item(firstClock(root.get()), "foregroundColor"), "space",
                        plist_new_string("sRGB"));
    plist_dict_set_item(firstClock(root.get()), "opacity", plist_new_uint(1));
    PersistenceContainer expected = state;
    expected.clocks[0].opacity = 1;
    EXPECT_EQ(decodeStateFile(serialise(root.get(), true), nullptr), expected);
}

// The corpus in tests/data/corrupt covers every failure class through the file; these check that
// the reason names what is wrong and where.
TEST(StateCodec, AFailedReadSaysWhatIsWrongAndWhere) {
    struct Case {
        std::function<void(plist_t root)> spoil;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {[](plist_t r) { plist_dict_remove_item(plist_dict_get_item(r, "settings"), "defaultOpacity"); },
         "missing key \u201CdefaultOpacity\u201D at settings"},
        {[](plist_t r) { plist_dict_set_item(firstClock(r), "opacity", plist_new_string("1")); },
         "expected a number at clocks[0].opacity"},
        {[](plist_t r) { plist_dict_set_item(firstClock(r), "mode", plist_new_string("Clock")); },
         "unknown mode \u201CClock\u201D at clocks[0].mode"},
        {[](plist_t r) { plist_dict_set_item(firstClock(r), "id", plist_new_string("1234")); },
         "invalid UUID \u201C1234\u201D at clocks[0].id"},
        {[](plist_t r) {
             plist_dict_remove_item(plist_dict_get_item(firstClock(r), "timecode"), "audioChannelIndex");
         },
         "at clocks[0].timecode"},
    };
    const QByteArray good = *encodeStateFile(fullState(), nullptr);
    for (const Case& c : cases) {
        const PlistNode root = parse(good);
        c.spoil(root.get());
        QString error;
        EXPECT_FALSE(decodeStateFile(serialise(root.get(), false), &error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.reason))) << error.toStdString();
    }
}
