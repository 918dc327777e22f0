#include "statecodec.h"

#include "plistguard.h"
#include "plistnode.h"

#include <cstdint>
#include <cstdlib>

namespace tavix {

namespace {

// ---- Encoding --------------------------------------------------------------------------------

class Writer {
public:
    static plist_t dict() { return plist_new_dict(); }

    static void set(plist_t dict, const char* key, plist_t value) { plist_dict_set_item(dict, key, value); }
    static plist_t real(double value) { return plist_new_real(value); }
    static plist_t integer(std::int64_t value) { return plist_new_uint(static_cast<std::uint64_t>(value)); }
    static plist_t boolean(bool value) { return plist_new_bool(value ? 1 : 0); }
    static plist_t string(const QString& value) { return plist_new_string(value.toUtf8().constData()); }

    static plist_t color(const ColorValue& color) {
        // Named colours are resolved at the moment of writing; afterwards the file's numbers govern.
        const RgbaComponents c = color.components();
        plist_t node = dict();
        set(node, "red", real(c.red));
        set(node, "green", real(c.green));
        set(node, "blue", real(c.blue));
        set(node, "alpha", real(c.alpha));
        return node;
    }

    static plist_t pair(double first, double second) {
        plist_t node = plist_new_array();
        plist_array_append_item(node, real(first));
        plist_array_append_item(node, real(second));
        return node;
    }

    static plist_t countdown(const CountdownSettings& s) {
        plist_t node = dict();
        set(node, "duration", real(s.duration));
        set(node, "remaining", real(s.remaining));
        set(node, "isRunning", boolean(s.isRunning));
        set(node, "warningTime", real(s.warningTime));
        set(node, "warningForegroundColor", color(s.warningForegroundColor));
        set(node, "warningOutlineColor", color(s.warningOutlineColor));
        set(node, "flashWhenDone", boolean(s.flashWhenDone));
        return node;
    }

    static plist_t stopwatch(const StopwatchSettings& s) {
        plist_t node = dict();
        set(node, "elapsed", real(s.elapsed));
        set(node, "isRunning", boolean(s.isRunning));
        return node;
    }

    static plist_t timecode(const TimecodeSettings& s) {
        plist_t node = dict();
        set(node, "frameRate", string(rawValue(s.frameRate)));
        if (s.audioInputDeviceID) {
            set(node, "audioInputDeviceID", string(*s.audioInputDeviceID));
        }
        set(node, "audioChannelIndex", integer(s.audioChannelIndex));
        return node;
    }

    static plist_t timeUntil(const TimeUntilSettings& s) {
        plist_t node = dict();
        set(node, "targetHour", integer(s.targetHour));
        set(node, "targetMinute", integer(s.targetMinute));
        set(node, "targetSecond", integer(s.targetSecond));
        set(node, "atTargetForegroundColor", color(s.atTargetForegroundColor));
        set(node, "atTargetOutlineColor", color(s.atTargetOutlineColor));
        set(node, "flashAtTarget", boolean(s.flashAtTarget));
        return node;
    }

    static plist_t clock(const ClockModel& c) {
        plist_t node = dict();
        set(node, "id", string(uuidText(c.id)));
        set(node, "name", string(c.name));
        set(node, "mode", string(rawValue(c.mode)));
        set(node, "foregroundColor", color(c.foregroundColor));
        set(node, "backgroundColor", color(c.backgroundColor));
        set(node, "outlineColor", color(c.outlineColor));
        set(node, "opacity", real(c.opacity));
        set(node, "alwaysOnTop", boolean(c.alwaysOnTop));
        set(node, "windowOrigin", pair(c.windowOrigin.x, c.windowOrigin.y));
        set(node, "windowSize", pair(c.windowSize.width, c.windowSize.height));
        if (c.timeZoneOffset) {
            set(node, "timeZoneOffset", real(*c.timeZoneOffset));
        }
        if (c.countdown) {
            set(node, "countdown", countdown(*c.countdown));
        }
        if (c.stopwatch) {
            set(node, "stopwatch", stopwatch(*c.stopwatch));
        }
        if (c.timecode) {
            set(node, "timecode", timecode(*c.timecode));
        }
        if (c.timeUntil) {
            set(node, "timeUntil", timeUntil(*c.timeUntil));
        }
        return node;
    }

    static plist_t settings(const AppSettings& s) {
        plist_t node = dict();
        set(node, "defaultForegroundColor", color(s.defaultForegroundColor));
        set(node, "defaultBackgroundColor", color(s.defaultBackgroundColor));
        set(node, "defaultOutlineColor", color(s.defaultOutlineColor));
        set(node, "defaultOpacity", real(s.defaultOpacity));
        set(node, "defaultAlwaysOnTop", boolean(s.defaultAlwaysOnTop));
        set(node, "defaultCountdownDuration", real(s.defaultCountdownDuration));
        set(node, "defaultTimeUntilAtTargetForegroundColor", color(s.defaultTimeUntilAtTargetForegroundColor));
        set(node, "defaultTimeUntilAtTargetOutlineColor", color(s.defaultTimeUntilAtTargetOutlineColor));
        set(node, "defaultTimeUntilFlashAtTarget", boolean(s.defaultTimeUntilFlashAtTarget));
        return node;
    }
};

// ---- Decoding --------------------------------------------------------------------------------

struct DecodeFailure {
    QString message;
};

class Reader {
public:
    [[noreturn]] void fail(const QString& what) const {
        throw DecodeFailure{m_path.isEmpty() ? what : QStringLiteral("%1 at %2").arg(what, m_path.join(QString()))};
    }

    // Runs `body` with `component` appended to the path shown in error messages.
    template <typename Body>
    auto at(const QString& component, Body body) {
        m_path.append(component);
        struct Pop {
            QStringList& path;
            ~Pop() { path.removeLast(); }
        } pop{m_path};
        return body();
    }

    plist_t expectDict(plist_t node) {
        if (plist_get_node_type(node) != PLIST_DICT) {
            fail(QStringLiteral("expected a dictionary"));
        }
        return node;
    }

    plist_t require(plist_t dict, const char* key) {
        plist_t value = plist_dict_get_item(dict, key);
        if (!value) {
            fail(QStringLiteral("missing key \u201C%1\u201D").arg(QString::fromUtf8(key)));
        }
        return value;
    }

    static QString field(const char* key) { return QStringLiteral(".") + QString::fromUtf8(key); }

    double number(plist_t dict, const char* key) {
        return at(field(key), [&] { return numberValue(require(dict, key)); });
    }

    double numberValue(plist_t node) {
        switch (plist_get_node_type(node)) {
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return value;
        }
        case PLIST_UINT: {
            std::uint64_t value = 0;
            plist_get_uint_val(node, &value);
            return static_cast<double>(static_cast<std::int64_t>(value));
        }
        default:
            fail(QStringLiteral("expected a number"));
        }
    }

    std::int64_t integer(plist_t dict, const char* key) {
        return at(field(key), [&] {
            plist_t node = require(dict, key);
            if (plist_get_node_type(node) != PLIST_UINT) {
                fail(QStringLiteral("expected an integer"));
            }
            std::uint64_t value = 0;
            plist_get_uint_val(node, &value);
            return static_cast<std::int64_t>(value);
        });
    }

    bool boolean(plist_t dict, const char* key) {
        return at(field(key), [&] {
            plist_t node = require(dict, key);
            if (plist_get_node_type(node) != PLIST_BOOLEAN) {
                fail(QStringLiteral("expected a boolean"));
            }
            std::uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return value != 0;
        });
    }

    QString stringValue(plist_t node) {
        if (plist_get_node_type(node) != PLIST_STRING) {
            fail(QStringLiteral("expected a string"));
        }
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return QString::fromUtf8(text, static_cast<qsizetype>(length));
    }

    QString string(plist_t dict, const char* key) {
        return at(field(key), [&] { return stringValue(require(dict, key)); });
    }

    std::optional<QString> optionalString(plist_t dict, const char* key) {
        plist_t node = plist_dict_get_item(dict, key);
        if (!node) {
            return std::nullopt;
        }
        return at(field(key), [&] { return stringValue(node); });
    }

    std::pair<double, double> pair(plist_t dict, const char* key) {
        return at(field(key), [&] {
            plist_t node = require(dict, key);
            if (plist_get_node_type(node) != PLIST_ARRAY || plist_array_get_size(node) != 2) {
                fail(QStringLiteral("expected an array of two numbers"));
            }
            return std::pair{numberValue(plist_array_get_item(node, 0)), numberValue(plist_array_get_item(node, 1))};
        });
    }

    ColorValue color(plist_t dict, const char* key) {
        return at(field(key), [&] {
            plist_t node = expectDict(require(dict, key));
            const double red = number(node, "red");
            const double green = number(node, "green");
            const double blue = number(node, "blue");
            const double alpha = number(node, "alpha");
            return ColorValue::srgb(red, green, blue, alpha);
        });
    }

    template <typename Record, typename Decode>
    std::optional<Record> optionalRecord(plist_t dict, const char* key, Decode decode) {
        plist_t node = plist_dict_get_item(dict, key);
        if (!node) {
            return std::nullopt;
        }
        return at(field(key), [&] { return std::optional<Record>(decode(expectDict(node))); });
    }

    CountdownSettings countdown(plist_t node) {
        CountdownSettings s;
        s.duration = number(node, "duration");
        s.remaining = number(node, "remaining");
        s.isRunning = boolean(node, "isRunning");
        s.warningTime = number(node, "warningTime");
        s.warningForegroundColor = color(node, "warningForegroundColor");
        s.warningOutlineColor = color(node, "warningOutlineColor");
        s.flashWhenDone = boolean(node, "flashWhenDone");
        return s;
    }

    StopwatchSettings stopwatch(plist_t node) {
        StopwatchSettings s;
        s.elapsed = number(node, "elapsed");
        s.isRunning = boolean(node, "isRunning");
        return s;
    }

    TimecodeSettings timecode(plist_t node) {
        TimecodeSettings s;
        const QString rate = string(node, "frameRate");
        const auto frameRate = timecodeFrameRateFromRawValue(rate);
        if (!frameRate) {
            at(field("frameRate"), [&] { fail(QStringLiteral("unknown frame rate \u201C%1\u201D").arg(rate)); });
        }
        s.frameRate = *frameRate;
        s.audioInputDeviceID = optionalString(node, "audioInputDeviceID");
        s.audioChannelIndex = integer(node, "audioChannelIndex");
        return s;
    }

    TimeUntilSettings timeUntil(plist_t node) {
        TimeUntilSettings s;
        s.targetHour = integer(node, "targetHour");
        s.targetMinute = integer(node, "targetMinute");
        s.targetSecond = integer(node, "targetSecond");
        s.atTargetForegroundColor = color(node, "atTargetForegroundColor");
        s.atTargetOutlineColor = color(node, "atTargetOutlineColor");
        s.flashAtTarget = boolean(node, "flashAtTarget");
        return s;
    }

    ClockModel clock(plist_t node) {
        expectDict(node);
        ClockModel c;
        const QString idText = string(node, "id");
        const auto id = uuidFromText(idText);
        if (!id) {
            at(field("id"), [&] { fail(QStringLiteral("invalid UUID \u201C%1\u201D").arg(idText)); });
        }
        c.id = *id;
        c.name = string(node, "name");
        const QString modeText = string(node, "mode");
        const auto mode = clockModeFromRawValue(modeText);
        if (!mode) {
            at(field("mode"), [&] { fail(QStringLiteral("unknown mode \u201C%1\u201D").arg(modeText)); });
        }
        c.mode = *mode;
        c.foregroundColor = color(node, "foregroundColor");
        c.backgroundColor = color(node, "backgroundColor");
        c.outlineColor = color(node, "outlineColor");
        c.opacity = number(node, "opacity");
        c.alwaysOnTop = boolean(node, "alwaysOnTop");
        const auto origin = pair(node, "windowOrigin");
        c.windowOrigin = {origin.first, origin.second};
        const auto size = pair(node, "windowSize");
        c.windowSize = {size.first, size.second};
        if (plist_t offset = plist_dict_get_item(node, "timeZoneOffset")) {
            c.timeZoneOffset = at(field("timeZoneOffset"), [&] { return numberValue(offset); });
        }
        c.countdown = optionalRecord<CountdownSettings>(node, "countdown", [&](plist_t n) { return countdown(n); });
        c.stopwatch = optionalRecord<StopwatchSettings>(node, "stopwatch", [&](plist_t n) { return stopwatch(n); });
        c.timecode = optionalRecord<TimecodeSettings>(node, "timecode", [&](plist_t n) { return timecode(n); });
        c.timeUntil = optionalRecord<TimeUntilSettings>(node, "timeUntil", [&](plist_t n) { return timeUntil(n); });
        return c;
    }

    AppSettings settings(plist_t node) {
        AppSettings s;
        s.defaultForegroundColor = color(node, "defaultForegroundColor");
        s.defaultBackgroundColor = color(node, "defaultBackgroundColor");
        s.defaultOutlineColor = color(node, "defaultOutlineColor");
        s.defaultOpacity = number(node, "defaultOpacity");
        s.defaultAlwaysOnTop = boolean(node, "defaultAlwaysOnTop");
        s.defaultCountdownDuration = number(node, "defaultCountdownDuration");
        s.defaultTimeUntilAtTargetForegroundColor = color(node, "defaultTimeUntilAtTargetForegroundColor");
        s.defaultTimeUntilAtTargetOutlineColor = color(node, "defaultTimeUntilAtTargetOutlineColor");
        s.defaultTimeUntilFlashAtTarget = boolean(node, "defaultTimeUntilFlashAtTarget");
        return s;
    }

    PersistenceContainer container(plist_t root) {
        expectDict(root);
        PersistenceContainer state;
        at(QStringLiteral("clocks"), [&] {
            plist_t clocks = require(root, "clocks");
            if (plist_get_node_type(clocks) != PLIST_ARRAY) {
                fail(QStringLiteral("expected an array"));
            }
            const uint32_t count = plist_array_get_size(clocks);
            state.clocks.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                at(QStringLiteral("[%1]").arg(i),
                   [&] { state.clocks.append(clock(plist_array_get_item(clocks, i))); });
            }
        });
        at(QStringLiteral("settings"), [&] { state.settings = settings(expectDict(require(root, "settings"))); });
        return state;
    }

private:
    QStringList m_path;
};

} // namespace

std::optional<QByteArray> encodeStateFile(const PersistenceContainer& state, QString* error) {
    PlistNode root(plist_new_dict());
    plist_t clocks = plist_new_array();
    for (const ClockModel& clock : state.clocks) {
        plist_array_append_item(clocks, Writer::clock(clock));
    }
    plist_dict_set_item(root.get(), "clocks", clocks);
    plist_dict_set_item(root.get(), "settings", Writer::settings(state.settings));

    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &xml, &length);
    if (!xml) {
        if (error) {
            *error = QStringLiteral("the property-list writer produced no output");
        }
        return std::nullopt;
    }
    QByteArray bytes(xml, static_cast<qsizetype>(length));
    plist_to_xml_free(xml);
    return bytes;
}

std::optional<PersistenceContainer> decodeStateFile(const QByteArray& bytes, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (bytes.isEmpty()) {
        return fail(QStringLiteral("the file is empty"));
    }
    if (bytes.size() > kMaximumStateFileBytes) {
        return fail(QStringLiteral("the file is too large to be a state file (%1 bytes)").arg(bytes.size()));
    }
    if (!plistNestingIsSafe(bytes, error)) {
        return std::nullopt;
    }
    plist_t parsed = nullptr;
    plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &parsed);
    PlistNode root(parsed);
    if (!root) {
        return fail(QStringLiteral("the data is not a property list"));
    }
    try {
        Reader reader;
        return reader.container(root.get());
    } catch (const DecodeFailure& failure) {
        return fail(failure.message);
    }
}

} // namespace tavix
