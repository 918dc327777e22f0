#include "model/plistnode.h"
#include "model/statecodec.h"
#include "support/storetest.h"

#include <QStringEncoder>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <limits>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

ColorValue rgba(double r, double g, double b, double a) {
    return ColorValue::srgb(r, g, b, a);
}

// Every field present, every colour made of components (as colours read back), awkward values.
PersistenceContainer fullState() {
    PersistenceContainer state;
    ClockModel clock;
    clock.id = QUuid::createUuid();
    clock.name = u"Studio \u00C9 \U0001F600 & <A> >"_s;
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
    clock.countdown->measuredAt = 1.7e9 + 0.125;
    clock.countdown->overtimeForegroundColor = rgba(1, 0, 1, 1);
    clock.countdown->overtimeOutlineColor = rgba(0, 1, 1, 0.5);
    clock.countdown->overtimeFlashStyle = OvertimeFlashStyle::outlineAndBackground;
    clock.countdown->showTenths = true;
    clock.stopwatch = StopwatchSettings{12.25, true, -0.5, true};
    clock.timecode =
        TimecodeSettings{TimecodeFrameRate::fps29_97DF, u"4011"_s, -1, u"Studio <Interface> & Co"_s};
    clock.timeUntil = TimeUntilSettings{
        30, std::numeric_limits<std::int64_t>::min(), 0, rgba(1, 0, 0, 1), rgba(0.5, 0, 0, 1), true, 300.5};
    clock.use24HourTime = false;
    clock.hideSeconds = true;
    clock.stage = StageSettings{true, u"HDMI-1 \u00C9"_s, CaptionKind::message, u"Act 2 <b>"_s, true};
    ClockModel sparse = clock;
    sparse.id = QUuid::createUuid();
    sparse.name.clear();
    const auto none = std::nullopt;
    std::tie(sparse.timeZoneOffset, sparse.countdown, sparse.stopwatch, sparse.timecode, sparse.timeUntil,
             sparse.use24HourTime) = std::tuple(none, none, none, none, none, none);
    sparse.hideSeconds = false;
    sparse.stage = StageSettings{};
    state.clocks = {clock, sparse};
    state.settings =
        AppSettings(rgba(0, 1, 0, 1), rgba(0, 0, 0, 1), rgba(0, 0.5, 0, 1), 0.35, true, 30, rgba(1, 0, 0, 1),
                    rgba(1, 0.1, 0, 1), false, false, false, 8420, 8421, true, u"t0k&n"_s, true);
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
    EXPECT_EQ(plist_dict_get_item(plist_dict_get_item(sparse, "stage"), "screenName"), nullptr);
}

TEST(StateCodec, NamedColoursAreWrittenAsTheirPaletteComponents) {
    const ClockModel decoded =
        decodeStateFile(*encodeStateFile(test::stateOf({test::makeClock("A")}), nullptr), nullptr)
            .value()
            .clocks[0];
    const RgbaComponents green = paletteComponents(NamedColor::green);
    EXPECT_EQ(decoded.foregroundColor, rgba(green.red, green.green, green.blue, green.alpha));
    EXPECT_EQ(decoded.backgroundColor, rgba(0, 0, 0, 1));
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

TEST(StateCodec, FilesWithoutTheKeysAddedLaterReadAsBeforeAndDefaultsWriteNoneOfThem) {
    PersistenceContainer expected = fullState();
    const PlistNode root = parse(*encodeStateFile(expected, nullptr));
    plist_t clock = firstClock(root.get());
    const std::pair<plist_t, std::vector<const char*>> added[] = {
        {clock, {"use24HourTime", "hideSeconds"}},
        {plist_dict_get_item(clock, "countdown"),
         {"measuredAt", "overtimeForegroundColor", "overtimeOutlineColor", "overtimeFlashStyle",
          "showTenths"}},
        {plist_dict_get_item(clock, "stopwatch"), {"measuredAt", "showTenths"}},
        {plist_dict_get_item(clock, "timeUntil"), {"rollOverAfter"}},
        {plist_dict_get_item(root.get(), "settings"),
         {"runningTimersKeepCounting", "showOvertimeAsPlus", "remoteControlEnabled", "remoteHttpPort",
          "remoteOscPort", "remoteAllowOtherComputers", "remoteAccessToken"}}};
    for (const auto& [dict, keys] : added) {
        for (const char* key : keys) {
            plist_dict_remove_item(dict, key);
        }
    }
    const PersistenceContainer decoded = decodeStateFile(serialise(root.get(), false), nullptr).value();
    ClockModel& c = expected.clocks[0];
    c.use24HourTime.reset();
    c.hideSeconds = false;
    // Each record made again from its older fields only.
    const CountdownSettings& o = *c.countdown;
    c.countdown = CountdownSettings(o.duration, o.remaining, o.isRunning, o.warningTime,
                                    o.warningForegroundColor, o.warningOutlineColor, o.flashWhenDone);
    c.stopwatch = StopwatchSettings{c.stopwatch->elapsed, c.stopwatch->isRunning};
    c.timeUntil->rollOverAfter.reset();
    AppSettings& s = expected.settings;
    const AppSettings d;
    std::tie(s.runningTimersKeepCounting, s.showOvertimeAsPlus, s.remoteControlEnabled, s.remoteHttpPort,
             s.remoteOscPort, s.remoteAllowOtherComputers, s.remoteAccessToken) =
        std::tie(d.runningTimersKeepCounting, d.showOvertimeAsPlus, d.remoteControlEnabled, d.remoteHttpPort,
                 d.remoteOscPort, d.remoteAllowOtherComputers, d.remoteAccessToken);
    EXPECT_EQ(decoded, expected) << "each missing key reads as its default";
    EXPECT_EQ(decoded.clocks[0].countdown->overtimeForeground(), c.countdown->warningForegroundColor);

    // And a record at its defaults writes none of them, so older readers see what they always saw.
    const std::string text = encodeStateFile(decoded, nullptr)->toStdString();
    for (const char* key : {"use24HourTime", "hideSeconds", "measuredAt", "overtimeFlashStyle", "showTenths",
                            "rollOverAfter", "showOvertimeAsPlus", "overtimeForegroundColor"}) {
        EXPECT_EQ(text.find(key), std::string::npos) << key;
    }
}

// The corpus in tests/data/corrupt covers every failure class through the file; these check that
// the reason names what is wrong and where.
TEST(StateCodec, AFailedReadSaysWhatIsWrongAndWhere) {
    const std::vector<std::pair<std::function<void(plist_t root)>, const char*>> cases = {
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
         "at clocks[0].timecode"}};
    const QByteArray good = *encodeStateFile(fullState(), nullptr);
    for (const auto& [spoil, reason] : cases) {
        const PlistNode root = parse(good);
        spoil(root.get());
        QString error;
        EXPECT_FALSE(decodeStateFile(serialise(root.get(), false), &error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(reason))) << error.toStdString();
    }
}

TEST(StateCodec, FilesInOtherUnicodeEncodingsOrLatin1ReadAsTheirUtf8Form) {
    const QByteArray utf8 =
        *encodeStateFile(test::stateOf({test::makeClock("Caf\u00E9 Z\u00FCrich")}), nullptr);
    const auto expected = decodeStateFile(utf8, nullptr).value();
    const QString text = QString::fromUtf8(utf8);
    const auto encoded = [&text](QStringConverter::Encoding encoding, bool bom) {
        QStringEncoder encoder(encoding,
                               bom ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
        QString declared = text;
        return QByteArray(encoder(declared.replace(u"UTF-8"_s, u"UTF-16"_s)));
    };
    QString latin1 = text;
    latin1.replace(u"UTF-8"_s, u"ISO-8859-1"_s);
    const std::pair<const char*, QByteArray> variants[] = {
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + utf8},
        {"UTF-16 little-endian with a mark", encoded(QStringConverter::Utf16LE, true)},
        {"UTF-16 big-endian with a mark", encoded(QStringConverter::Utf16BE, true)},
        {"UTF-16 without a mark", encoded(QStringConverter::Utf16LE, false)},
        {"UTF-32 with a mark", encoded(QStringConverter::Utf32LE, true)},
        {"UTF-8 declared as UTF-16", QByteArray(utf8).replace("UTF-8", "UTF-16")},
        {"Latin-1", latin1.toLatin1()}};
    for (const auto& [label, bytes] : variants) {
        QString error;
        EXPECT_EQ(decodeStateFile(bytes, &error), expected) << label << ": " << error.toStdString();
    }
}

namespace {

// Text that needs escaping, bytes and a nested list: every type of every level is the session
// files test's part, on what a newer Tavix wrote in binary form.
plist_t newerEntries(const char* tag) {
    plist_t entries = plist_new_dict();
    plist_dict_set_item(entries, "newerMarkup", plist_new_string(tag));
    plist_dict_set_item(entries, "newerData", plist_new_data("\0\1\2\xFF", 4));
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("a < b & \"c\" > d\nline"));
    plist_array_append_item(list, plist_new_dict());
    plist_dict_set_item(entries, "newerList", list);
    return entries;
}

void addEntries(plist_t dict, const char* tag) {
    PlistNode entries(newerEntries(tag));
    plist_dict_merge(&dict, entries.get());
}

} // namespace

TEST(StateCodec, KeysOfANewerTavixAreWrittenBackUnchangedEvenFromBinaryFiles) {
    const PersistenceContainer state = fullState();
    const PlistNode expected = parse(*encodeStateFile(state, nullptr));
    plist_t clock = firstClock(expected.get());
    addEntries(expected.get(), "root");
    addEntries(clock, "clock");
    for (const char* record : {"countdown", "stopwatch", "timecode", "timeUntil"}) {
        addEntries(plist_dict_get_item(clock, record), record);
    }
    addEntries(plist_dict_get_item(expected.get(), "settings"), "settings");

    for (const bool binary : {false, true}) {
        const auto decoded = decodeStateFile(serialise(expected.get(), binary), nullptr).value();
        EXPECT_EQ(decoded, state) << "entries Tavix does not know take no part in equality";
        const PlistNode reread = parse(encodeStateFile(decoded, nullptr).value());
        ASSERT_TRUE(reread) << "binary " << binary;
        EXPECT_EQ(serialise(reread.get(), false), serialise(expected.get(), false)) << "binary " << binary;
    }
}

TEST(StateCodec, EveryKeyTheWriterWritesIsKnownToTheReader) {
    // A key left out of its record's known-key list would be read back as unknown and then written
    // twice.
    const auto decoded = decodeStateFile(*encodeStateFile(fullState(), nullptr), nullptr).value();
    const ClockModel& clock = decoded.clocks[0];
    for (const UnknownKeys* keys : {&decoded.unknownKeys, &decoded.settings.unknownKeys, &clock.unknownKeys,
                                    &clock.countdown->unknownKeys, &clock.stopwatch->unknownKeys,
                                    &clock.timecode->unknownKeys, &clock.timeUntil->unknownKeys}) {
        EXPECT_TRUE(keys->isEmpty());
    }
}

TEST(StateCodec, CharactersXmlForbidsNeverReachTheFile) {
    // A binary list can carry anything, as a name pasted into an older Tavix could.
    const QString raw = u"Line\vbreak\uFFFE\u0001 \tand\r\nmore"_s;
    PersistenceContainer state = fullState();
    state.clocks[0].name = raw;
    const PlistNode root = parse(*encodeStateFile(state, nullptr));
    plist_dict_set_item(firstClock(root.get()), "name", plist_new_string(raw.toUtf8().constData()));
    plist_dict_set_item(firstClock(root.get()), "newerNote", plist_new_string("bell\a"));
    plist_dict_set_item(firstClock(root.get()), "name\x01", plist_new_uint(1)); // cannot be kept
    const auto decoded = decodeStateFile(serialise(root.get(), true), nullptr).value();
    EXPECT_EQ(decoded.clocks[0].name, u"Linebreak \tand\r\nmore"_s);

    for (const PersistenceContainer& written : {decoded, state}) {
        const QByteArray bytes = *encodeStateFile(written, nullptr);
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
        }
        EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
        EXPECT_EQ(decodeStateFile(bytes, nullptr).value().clocks[0].name, u"Linebreak \tand\r\nmore"_s)
            << "a carriage return survives";
    }
}
