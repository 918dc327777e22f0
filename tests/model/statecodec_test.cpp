#include "model/plistnode.h"
#include "model/statecodec.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace tavix;

namespace {

ClockModel fullClock() {
    AppSettings settings;
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(),
                                           QStringLiteral("Studio \u00C9 \U0001F600 & <A> >"), settings);
    clock.mode = ClockMode::timecode;
    clock.foregroundColor = ColorValue::srgb(0.1, 0.2, 0.3, 0.4);
    clock.backgroundColor = ColorValue::srgb(-0.5, 1.5, 1.0 / 3.0, 1);
    clock.opacity = 0.57;
    clock.alwaysOnTop = true;
    clock.windowOrigin = {-1234.5, 987.25};
    clock.windowSize = {360, 150.125};
    clock.timeZoneOffset = -19800;
    clock.countdown->remaining = -65.4;
    clock.countdown->isRunning = true;
    clock.timecode = TimecodeSettings{TimecodeFrameRate::fps29_97DF, QStringLiteral("4011"), 3};
    clock.timeUntil->targetHour = 30; // no range limits when read
    return clock;
}

// The state with every colour made of components, as it reads back after a save.
PersistenceContainer fullState() {
    PersistenceContainer state;
    state.clocks = {fullClock(), fullClock()};
    ClockModel sparse = ClockModel::makeNew(QUuid::createUuid(), QString(), AppSettings{});
    sparse.timeZoneOffset.reset();
    sparse.countdown.reset();
    sparse.stopwatch.reset();
    sparse.timecode.reset();
    sparse.timeUntil.reset();
    state.clocks.append(sparse);
    state.settings.defaultOpacity = 0.35;
    state.settings.defaultCountdownDuration = 30;
    auto resolve = [](ColorValue& c) {
        const RgbaComponents k = c.components();
        c = ColorValue::srgb(k.red, k.green, k.blue, k.alpha);
    };
    for (ClockModel& clock : state.clocks) {
        for (ColorValue* c : {&clock.foregroundColor, &clock.backgroundColor, &clock.outlineColor}) {
            resolve(*c);
        }
        if (clock.countdown) {
            resolve(clock.countdown->warningForegroundColor);
            resolve(clock.countdown->warningOutlineColor);
        }
        if (clock.timeUntil) {
            resolve(clock.timeUntil->atTargetForegroundColor);
            resolve(clock.timeUntil->atTargetOutlineColor);
        }
    }
    AppSettings& s = state.settings;
    for (ColorValue* c :
         {&s.defaultForegroundColor, &s.defaultBackgroundColor, &s.defaultOutlineColor,
          &s.defaultTimeUntilAtTargetForegroundColor, &s.defaultTimeUntilAtTargetOutlineColor}) {
        resolve(*c);
    }
    return state;
}

PlistNode parse(const QByteArray& bytes) {
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &root);
    return PlistNode(root);
}

QByteArray toXml(plist_t root) {
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    QByteArray bytes(xml, static_cast<qsizetype>(length));
    plist_to_xml_free(xml);
    return bytes;
}

plist_t clockNode(plist_t root, uint32_t index = 0) {
    return plist_array_get_item(plist_dict_get_item(root, "clocks"), index);
}

} // namespace

TEST(StateCodec, WritesAndReadsBackEqualRecordsIncludingAbsentFields) {
    const PersistenceContainer state = fullState();
    QString error;
    const auto bytes = encodeStateFile(state, &error);
    ASSERT_TRUE(bytes) << error.toStdString();
    EXPECT_TRUE(bytes->startsWith("<?xml"));
    const auto decoded = decodeStateFile(*bytes, &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    EXPECT_EQ(*decoded, state);
    EXPECT_EQ(decoded->clocks[0].opacity, 0.57); // reals come back as the same doubles
    EXPECT_EQ(decoded->clocks[0].backgroundColor.components().blue, 1.0 / 3.0);

    // Absent optional fields are not written at all.
    const PlistNode root = parse(*bytes);
    plist_t sparse = clockNode(root.get(), 2);
    for (const char* key : {"timeZoneOffset", "countdown", "stopwatch", "timecode", "timeUntil"}) {
        EXPECT_EQ(plist_dict_get_item(sparse, key), nullptr) << key;
    }
    EXPECT_NE(plist_dict_get_item(clockNode(root.get()), "timeUntil"), nullptr);
}

TEST(StateCodec, NamedColoursAreWrittenAsTheirPaletteComponents) {
    PersistenceContainer state;
    state.clocks = {ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("A"), AppSettings{})};
    const auto decoded = decodeStateFile(*encodeStateFile(state, nullptr), nullptr);
    ASSERT_TRUE(decoded);
    const RgbaComponents green = paletteComponents(NamedColor::green);
    EXPECT_EQ(decoded->clocks[0].foregroundColor,
              ColorValue::srgb(green.red, green.green, green.blue, green.alpha));
    EXPECT_EQ(decoded->clocks[0].backgroundColor, ColorValue::srgb(0, 0, 0, 1));
}

TEST(StateCodec, ReadsBinaryPropertyListsExtraKeysAndIntegersForReals) {
    const PersistenceContainer state = fullState();
    const PlistNode root = parse(*encodeStateFile(state, nullptr));
    plist_dict_set_item(clockNode(root.get()), "somethingNewer", plist_new_string("ignored"));
    plist_dict_set_item(plist_dict_get_item(clockNode(root.get()), "foregroundColor"), "space",
                        plist_new_string("sRGB"));
    plist_dict_set_item(clockNode(root.get()), "opacity", plist_new_uint(1));

    char* bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root.get(), &bin, &length);
    const QByteArray binary(bin, static_cast<qsizetype>(length));
    plist_to_bin_free(bin);

    QString error;
    const auto decoded = decodeStateFile(binary, &error);
    ASSERT_TRUE(decoded) << error.toStdString();
    PersistenceContainer expected = state;
    expected.clocks[0].opacity = 1;
    EXPECT_EQ(*decoded, expected);
}

TEST(StateCodec, AnyMissingKeyWrongTypeOrBadValueFailsTheWholeRead) {
    struct Case {
        const char* name;
        std::function<void(plist_t root)> spoil;
        const char* errorMentions;
    };
    const std::vector<Case> cases = {
        {"no clocks", [](plist_t r) { plist_dict_remove_item(r, "clocks"); }, "clocks"},
        {"no settings", [](plist_t r) { plist_dict_remove_item(r, "settings"); }, "settings"},
        {"settings lacks one key",
         [](plist_t r) {
             plist_dict_remove_item(plist_dict_get_item(r, "settings"), "defaultTimeUntilFlashAtTarget");
         },
         "defaultTimeUntilFlashAtTarget"},
        {"clock lacks its name", [](plist_t r) { plist_dict_remove_item(clockNode(r), "name"); }, "name"},
        {"clocks is a dictionary", [](plist_t r) { plist_dict_set_item(r, "clocks", plist_new_dict()); },
         "clocks"},
        {"a clock is a string",
         [](plist_t r) { plist_array_set_item(plist_dict_get_item(r, "clocks"), plist_new_string("x"), 1); },
         "clocks[1]"},
        {"opacity is a string",
         [](plist_t r) { plist_dict_set_item(clockNode(r), "opacity", plist_new_string("1")); }, "opacity"},
        {"alwaysOnTop is a number",
         [](plist_t r) { plist_dict_set_item(clockNode(r), "alwaysOnTop", plist_new_uint(1)); },
         "alwaysOnTop"},
        {"targetHour is a real",
         [](plist_t r) {
             plist_dict_set_item(plist_dict_get_item(clockNode(r), "timeUntil"), "targetHour",
                                 plist_new_real(18.5));
         },
         "targetHour"},
        {"unknown mode",
         [](plist_t r) { plist_dict_set_item(clockNode(r), "mode", plist_new_string("Clock")); }, "mode"},
        {"frame rate without its space",
         [](plist_t r) {
             plist_dict_set_item(plist_dict_get_item(clockNode(r), "timecode"), "frameRate",
                                 plist_new_string("29.97DF"));
         },
         "frameRate"},
        {"timecode without a channel",
         [](plist_t r) {
             plist_dict_remove_item(plist_dict_get_item(clockNode(r), "timecode"), "audioChannelIndex");
         },
         "audioChannelIndex"},
        {"device id is a number",
         [](plist_t r) {
             plist_dict_set_item(plist_dict_get_item(clockNode(r), "timecode"), "audioInputDeviceID",
                                 plist_new_uint(73));
         },
         "audioInputDeviceID"},
        {"bad UUID", [](plist_t r) { plist_dict_set_item(clockNode(r), "id", plist_new_string("1234")); },
         "id"},
        {"origin with three numbers",
         [](plist_t r) {
             plist_array_append_item(plist_dict_get_item(clockNode(r), "windowOrigin"), plist_new_real(1));
         },
         "windowOrigin"},
        {"size holding a string",
         [](plist_t r) {
             plist_array_set_item(plist_dict_get_item(clockNode(r), "windowSize"), plist_new_string("wide"),
                                  0);
         },
         "windowSize"},
        {"colour without alpha",
         [](plist_t r) {
             plist_dict_remove_item(plist_dict_get_item(clockNode(r), "outlineColor"), "alpha");
         },
         "outlineColor"},
        {"colour component is text",
         [](plist_t r) {
             plist_dict_set_item(plist_dict_get_item(clockNode(r), "backgroundColor"), "red",
                                 plist_new_string("0"));
         },
         "backgroundColor"},
        {"countdown is an array",
         [](plist_t r) { plist_dict_set_item(clockNode(r), "countdown", plist_new_array()); }, "countdown"},
        {"stopwatch lacks isRunning",
         [](plist_t r) {
             plist_dict_remove_item(plist_dict_get_item(clockNode(r), "stopwatch"), "isRunning");
         },
         "isRunning"},
        {"offset is a date",
         [](plist_t r) { plist_dict_set_item(clockNode(r), "timeZoneOffset", plist_new_date(0, 0)); },
         "timeZoneOffset"},
    };
    const QByteArray good = *encodeStateFile(fullState(), nullptr);
    for (const Case& c : cases) {
        const PlistNode root = parse(good);
        c.spoil(root.get());
        QString error;
        EXPECT_FALSE(decodeStateFile(toXml(root.get()), &error)) << c.name;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.errorMentions)))
            << c.name << ": " << error.toStdString();
    }
}

TEST(StateCodec, JunkTruncationAndDeepNestingFailWithoutCrashing) {
    const QByteArray good = *encodeStateFile(fullState(), nullptr);
    std::vector<QByteArray> inputs = {
        QByteArray(),
        QByteArray("\0\0\0", 3),
        QByteArray("not a property list at all"),
        QByteArray("bplist00"),
        QByteArray("bplist00") + QByteArray(40, '\xff'),
        good.left(good.size() / 2),
        good.left(good.size() - 20),
        QByteArray("<plist version=\"1.0\"><array/></plist>"),
        QByteArray("<plist version=\"1.0\"><string>x</string></plist>"),
    };
    for (int depth : {65, 100000}) {
        QByteArray deep = "<plist version=\"1.0\">";
        deep += QByteArray("<dict><key>a</key>").repeated(depth) + "<true/>" +
                QByteArray("</dict>").repeated(depth);
        deep += "</plist>";
        inputs.push_back(deep);
    }
    // A binary list whose arrays nest 200000 deep: each array holds the next one.
    {
        const int count = 200000;
        QByteArray body = "bplist00";
        QList<quint32> offsets;
        for (int i = 0; i < count; ++i) {
            offsets.append(static_cast<quint32>(body.size()));
            if (i + 1 < count) {
                body.append(char(0xA1));
                const quint32 ref = static_cast<quint32>(i + 1);
                body.append(char(ref >> 16)).append(char(ref >> 8)).append(char(ref));
            } else {
                body.append(char(0xA0));
            }
        }
        const quint64 tableOffset = static_cast<quint64>(body.size());
        for (quint32 offset : offsets) {
            body.append(char(offset >> 16)).append(char(offset >> 8)).append(char(offset));
        }
        QByteArray trailer(32, '\0');
        trailer[6] = 3;
        trailer[7] = 3;
        for (int b = 0; b < 8; ++b) {
            trailer[8 + b] = char((quint64(count) >> (56 - 8 * b)) & 0xFF);
            trailer[24 + b] = char((tableOffset >> (56 - 8 * b)) & 0xFF);
        }
        inputs.push_back(body + trailer);
    }
    for (const QByteArray& input : inputs) {
        QString error;
        EXPECT_FALSE(decodeStateFile(input, &error)) << input.left(60).toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(StateCodec, ExtremeNumbersAreKeptAsStored) {
    PersistenceContainer state = fullState();
    state.clocks[0].countdown->remaining = std::numeric_limits<double>::infinity();
    state.clocks[0].countdown->duration = -1e308;
    state.clocks[0].timeUntil->targetHour = std::numeric_limits<std::int64_t>::min();
    state.clocks[0].timecode->audioChannelIndex = -1;
    const auto decoded = decodeStateFile(*encodeStateFile(state, nullptr), nullptr);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, state);
}
