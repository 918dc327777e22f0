// The stored form of the state, both ways.
//
// Keys a newer Tavix may have written are never lost: each record's dictionary is read through its
// list of known keys below (kClockKeys and friends), every other entry is kept as found in the
// record's `unknownKeys`, and the writer puts those entries back after the known ones. To add a
// field to a record: add it to the record, write it in Writer, read it in Reader, and add its key
// to that record's known-key list here. A key that is written but missing from its list would be
// kept a second time as unknown; the codec tests catch that for every field of a full record.
#include "statecodec.h"

#include "plistguard.h"
#include "plistnode.h"
#include "xmltext.h"

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavix {

namespace {

using KnownKeys = std::span<const std::string_view>;

constexpr std::string_view kRootKeys[] = {"clocks", "settings"};
constexpr std::string_view kClockKeys[] = {
    "id",        "name",        "mode",         "foregroundColor", "backgroundColor", "outlineColor",
    "opacity",   "alwaysOnTop", "windowOrigin", "windowSize",      "timeZoneOffset",  "countdown",
    "stopwatch", "timecode",    "timeUntil",    "use24HourTime",   "hideSeconds",     "stage"};
constexpr std::string_view kCountdownKeys[] = {"duration",
                                               "remaining",
                                               "isRunning",
                                               "warningTime",
                                               "warningForegroundColor",
                                               "warningOutlineColor",
                                               "flashWhenDone",
                                               "measuredAt",
                                               "overtimeForegroundColor",
                                               "overtimeOutlineColor",
                                               "overtimeFlashStyle",
                                               "showTenths"};
constexpr std::string_view kStopwatchKeys[] = {"elapsed", "isRunning", "measuredAt", "showTenths"};
constexpr std::string_view kTimecodeKeys[] = {"frameRate", "audioInputDeviceID", "audioChannelIndex",
                                              "audioInputDeviceName"};
constexpr std::string_view kTimeUntilKeys[] = {
    "targetHour",           "targetMinute",  "targetSecond", "atTargetForegroundColor",
    "atTargetOutlineColor", "flashAtTarget", "rollOverAfter"};
constexpr std::string_view kStageKeys[] = {"isActive", "screenName", "caption", "message", "clickThrough"};
constexpr std::string_view kSettingsKeys[] = {"defaultForegroundColor",
                                              "defaultBackgroundColor",
                                              "defaultOutlineColor",
                                              "defaultOpacity",
                                              "defaultAlwaysOnTop",
                                              "defaultCountdownDuration",
                                              "defaultTimeUntilAtTargetForegroundColor",
                                              "defaultTimeUntilAtTargetOutlineColor",
                                              "defaultTimeUntilFlashAtTarget",
                                              "runningTimersKeepCounting",
                                              "remoteControlEnabled",
                                              "remoteHttpPort",
                                              "remoteOscPort",
                                              "remoteAllowOtherComputers",
                                              "remoteAccessToken",
                                              "showOvertimeAsPlus"};

// Property-list dates count seconds from this instant.
const QDateTime& plistEpoch() {
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return epoch;
}

// ---- Encoding --------------------------------------------------------------------------------

// Writes the XML property list straight into bytes. Both the property-list library's writer (a node
// per value, printf for every real) and Qt's XML stream writer took 4 to 5 ms for 100 clocks on the
// main thread; the format is fixed and small, so this writer does it in a fraction of that.
class Writer {
public:
    explicit Writer(std::string* out) : m_out(*out) {}

    void document(const PersistenceContainer& state) {
        m_out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
        open("dict");
        key("clocks");
        open("array");
        for (const ClockModel& c : state.clocks) {
            clock(c);
        }
        close("array");
        key("settings");
        settings(state.settings);
        unknown(state.unknownKeys);
        close("dict");
        m_out += "</plist>\n";
    }

private:
    void indent() { m_out.append(static_cast<size_t>(m_depth), '\t'); }

    void open(const char* tag) {
        indent();
        m_out += '<';
        m_out += tag;
        m_out += ">\n";
        ++m_depth;
    }

    void close(const char* tag) {
        --m_depth;
        indent();
        m_out += "</";
        m_out += tag;
        m_out += ">\n";
    }

    void element(const char* tag, std::string_view text) {
        indent();
        m_out += '<';
        m_out += tag;
        m_out += '>';
        m_out += text;
        m_out += "</";
        m_out += tag;
        m_out += ">\n";
    }

    void key(const char* name) { element("key", name); }

    // Characters XML forbids cannot be written at all; a carriage return is written as a reference,
    // since readers turn a raw one into a line feed.
    void text(const char* tag, QByteArray utf8) {
        utf8 = withoutXmlForbiddenCharacters(utf8);
        if (utf8.contains('&') || utf8.contains('<') || utf8.contains('>') || utf8.contains('\r')) {
            utf8.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;").replace('\r', "&#13;");
        }
        element(tag, std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    }

    void real(const char* name, double value) {
        key(name);
        realValue(value);
    }

    void realValue(double value) {
        if (std::isnan(value)) {
            element("real", "nan");
        } else if (std::isinf(value)) {
            element("real", value > 0 ? "+infinity" : "-infinity");
        } else {
            // The shortest text that reads back as exactly the same double.
            char text[32];
            const auto result = std::to_chars(text, text + sizeof text, value);
            element("real", std::string_view(text, static_cast<size_t>(result.ptr - text)));
        }
    }

    void integer(const char* name, std::int64_t value) {
        key(name);
        integerValue(value);
    }

    void boolean(const char* name, bool value) {
        key(name);
        indent();
        m_out += value ? "<true/>\n" : "<false/>\n";
    }

    void string(const char* name, const QString& value) {
        key(name);
        text("string", value.toUtf8());
    }

    void integerValue(std::int64_t value) {
        char text[24];
        const auto result = std::to_chars(text, text + sizeof text, value);
        element("integer", std::string_view(text, static_cast<size_t>(result.ptr - text)));
    }

    void unknown(const UnknownKeys& keys) {
        if (keys.entries) {
            dictEntries(const_cast<plist_t>(keys.entries.get()));
        }
    }

    void dictEntries(plist_t dict) {
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(dict, &iter);
        for (;;) {
            char* name = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(dict, iter, &name, &value);
            if (!name) {
                break;
            }
            // A key XML cannot hold would come back as another key, perhaps one Tavix knows; such
            // entries (only a binary list can have them) cannot be kept.
            const QByteArray key = validUtf8(name, static_cast<qsizetype>(std::strlen(name)));
            std::free(name);
            if (withoutXmlForbiddenCharacters(key) == key) {
                text("key", key);
                anyValue(value);
            }
        }
        std::free(iter);
    }

    static QByteArray validUtf8(const char* bytes, qsizetype length) {
        return QString::fromUtf8(bytes, length).toUtf8();
    }

    // Any value as read from a file, with its type: the entries Tavix keeps without knowing them.
    void anyValue(plist_t node) {
        switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            std::uint8_t value = 0;
            plist_get_bool_val(node, &value);
            indent();
            m_out += value ? "<true/>\n" : "<false/>\n";
            break;
        }
        case PLIST_UINT: {
            std::uint64_t value = 0;
            plist_get_uint_val(node, &value);
            if (value > std::uint64_t(INT64_MAX) && isUnsignedBeyondInt64(node)) {
                char digits[24];
                const auto result = std::to_chars(digits, digits + sizeof digits, value);
                element("integer", std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
            } else {
                integerValue(static_cast<std::int64_t>(value));
            }
            break;
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            realValue(value);
            break;
        }
        case PLIST_STRING: {
            std::uint64_t length = 0;
            const char* value = plist_get_string_ptr(node, &length);
            text("string", validUtf8(value, static_cast<qsizetype>(length)));
            break;
        }
        case PLIST_DATA: {
            std::uint64_t length = 0;
            const char* value = plist_get_data_ptr(node, &length);
            const QByteArray base64 =
                QByteArray::fromRawData(value, static_cast<qsizetype>(length)).toBase64();
            element("data", std::string_view(base64.constData(), static_cast<size_t>(base64.size())));
            break;
        }
        case PLIST_DATE: {
            std::int32_t seconds = 0;
            std::int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            // The XML form holds whole seconds.
            const QByteArray iso =
                plistEpoch().addSecs(seconds - (microseconds < 0 ? 1 : 0)).toString(Qt::ISODate).toUtf8();
            element("date", std::string_view(iso.constData(), static_cast<size_t>(iso.size())));
            break;
        }
        case PLIST_ARRAY: {
            open("array");
            const std::uint32_t count = plist_array_get_size(node);
            for (std::uint32_t i = 0; i < count; ++i) {
                anyValue(plist_array_get_item(node, i));
            }
            close("array");
            break;
        }
        case PLIST_DICT:
            open("dict");
            dictEntries(node);
            close("dict");
            break;
        case PLIST_UID: {
            // How the XML form spells a keyed-archive reference.
            std::uint64_t value = 0;
            plist_get_uid_val(node, &value);
            open("dict");
            key("CF$UID");
            integerValue(static_cast<std::int64_t>(value));
            close("dict");
            break;
        }
        case PLIST_KEY:
        case PLIST_NONE: // neither comes out of a parsed file
            indent();
            m_out += "<string></string>\n";
            break;
        }
    }

    // An integer of a binary list may be an unsigned value above the signed range, which the
    // library keeps apart only inside; its own writer tells which, and such values are rare.
    static bool isUnsignedBeyondInt64(plist_t node) {
        char* xml = nullptr;
        std::uint32_t length = 0;
        plist_to_xml(node, &xml, &length);
        const bool isUnsigned =
            xml && std::string_view(xml, length).find("<integer>-") == std::string_view::npos;
        std::free(xml);
        return isUnsigned;
    }

    void beginDict(const char* name) {
        key(name);
        open("dict");
    }

    void color(const char* name, const ColorValue& color) {
        // Named colours are resolved at the moment of writing; afterwards the file's numbers govern.
        const RgbaComponents c = color.components();
        beginDict(name);
        real("red", c.red);
        real("green", c.green);
        real("blue", c.blue);
        real("alpha", c.alpha);
        close("dict");
    }

    // An absent colour writes no key: a file without it reads as before, in older versions too.
    void optionalColor(const char* name, const std::optional<ColorValue>& value) {
        if (value) {
            color(name, *value);
        }
    }

    void pair(const char* name, double first, double second) {
        key(name);
        open("array");
        realValue(first);
        realValue(second);
        close("array");
    }

    void clock(const ClockModel& c) {
        open("dict");
        string("id", uuidText(c.id));
        string("name", c.name);
        string("mode", rawValue(c.mode));
        color("foregroundColor", c.foregroundColor);
        color("backgroundColor", c.backgroundColor);
        color("outlineColor", c.outlineColor);
        real("opacity", c.opacity);
        boolean("alwaysOnTop", c.alwaysOnTop);
        pair("windowOrigin", c.windowOrigin.x, c.windowOrigin.y);
        pair("windowSize", c.windowSize.width, c.windowSize.height);
        if (c.timeZoneOffset) {
            real("timeZoneOffset", *c.timeZoneOffset);
        }
        if (const auto& s = c.countdown) {
            beginDict("countdown");
            real("duration", s->duration);
            real("remaining", s->remaining);
            boolean("isRunning", s->isRunning);
            real("warningTime", s->warningTime);
            color("warningForegroundColor", s->warningForegroundColor);
            color("warningOutlineColor", s->warningOutlineColor);
            boolean("flashWhenDone", s->flashWhenDone);
            if (s->measuredAt) {
                real("measuredAt", *s->measuredAt);
            }
            optionalColor("overtimeForegroundColor", s->overtimeForegroundColor);
            optionalColor("overtimeOutlineColor", s->overtimeOutlineColor);
            if (s->overtimeFlashStyle != OvertimeFlashStyle::text) {
                string("overtimeFlashStyle", rawValue(s->overtimeFlashStyle));
            }
            if (s->showTenths) {
                boolean("showTenths", true);
            }
            unknown(s->unknownKeys);
            close("dict");
        }
        if (const auto& s = c.stopwatch) {
            beginDict("stopwatch");
            real("elapsed", s->elapsed);
            boolean("isRunning", s->isRunning);
            if (s->measuredAt) {
                real("measuredAt", *s->measuredAt);
            }
            if (s->showTenths) {
                boolean("showTenths", true);
            }
            unknown(s->unknownKeys);
            close("dict");
        }
        if (const auto& s = c.timecode) {
            beginDict("timecode");
            string("frameRate", rawValue(s->frameRate));
            if (s->audioInputDeviceID) {
                string("audioInputDeviceID", *s->audioInputDeviceID);
            }
            integer("audioChannelIndex", s->audioChannelIndex);
            if (s->audioInputDeviceName) {
                string("audioInputDeviceName", *s->audioInputDeviceName);
            }
            unknown(s->unknownKeys);
            close("dict");
        }
        if (const auto& s = c.timeUntil) {
            beginDict("timeUntil");
            integer("targetHour", s->targetHour);
            integer("targetMinute", s->targetMinute);
            integer("targetSecond", s->targetSecond);
            color("atTargetForegroundColor", s->atTargetForegroundColor);
            color("atTargetOutlineColor", s->atTargetOutlineColor);
            boolean("flashAtTarget", s->flashAtTarget);
            if (s->rollOverAfter) {
                real("rollOverAfter", *s->rollOverAfter);
            }
            unknown(s->unknownKeys);
            close("dict");
        }
        if (c.use24HourTime) {
            boolean("use24HourTime", *c.use24HourTime);
        }
        if (c.hideSeconds) {
            boolean("hideSeconds", true);
        }
        if (const auto& s = c.stage) {
            beginDict("stage");
            boolean("isActive", s->isActive);
            if (s->screenName) {
                string("screenName", *s->screenName);
            }
            string("caption", rawValue(s->caption));
            string("message", s->message);
            boolean("clickThrough", s->clickThrough);
            unknown(s->unknownKeys);
            close("dict");
        }
        unknown(c.unknownKeys);
        close("dict");
    }

    void settings(const AppSettings& s) {
        open("dict");
        color("defaultForegroundColor", s.defaultForegroundColor);
        color("defaultBackgroundColor", s.defaultBackgroundColor);
        color("defaultOutlineColor", s.defaultOutlineColor);
        real("defaultOpacity", s.defaultOpacity);
        boolean("defaultAlwaysOnTop", s.defaultAlwaysOnTop);
        real("defaultCountdownDuration", s.defaultCountdownDuration);
        color("defaultTimeUntilAtTargetForegroundColor", s.defaultTimeUntilAtTargetForegroundColor);
        color("defaultTimeUntilAtTargetOutlineColor", s.defaultTimeUntilAtTargetOutlineColor);
        boolean("defaultTimeUntilFlashAtTarget", s.defaultTimeUntilFlashAtTarget);
        boolean("runningTimersKeepCounting", s.runningTimersKeepCounting);
        boolean("remoteControlEnabled", s.remoteControlEnabled);
        integer("remoteHttpPort", s.remoteHttpPort);
        integer("remoteOscPort", s.remoteOscPort);
        boolean("remoteAllowOtherComputers", s.remoteAllowOtherComputers);
        string("remoteAccessToken", s.remoteAccessToken);
        if (s.showOvertimeAsPlus) {
            boolean("showOvertimeAsPlus", true);
        }
        unknown(s.unknownKeys);
        close("dict");
    }

    std::string& m_out;
    int m_depth = 0;
};

// ---- Decoding --------------------------------------------------------------------------------

struct DecodeFailure {
    QString message;
};

class Reader {
public:
    // One step of the path shown in error messages: a field (".name"), a top-level key ("clocks")
    // or an index ("[3]"). Only a failure spells the path out: a load reads thousands of fields.
    struct Step {
        const char* key = nullptr; // a literal or a caller's key, alive while the step is
        bool dotted = true;
        qint64 index = -1;
    };

    [[noreturn]] void fail(const QString& what) const {
        if (m_path.empty()) {
            throw DecodeFailure{what};
        }
        QString path;
        for (const Step& step : m_path) {
            if (step.index >= 0) {
                path += QStringLiteral("[%1]").arg(step.index);
            } else {
                path += (step.dotted ? QStringLiteral(".") : QString()) + QString::fromUtf8(step.key);
            }
        }
        throw DecodeFailure{QStringLiteral("%1 at %2").arg(what, path)};
    }

    // Runs `body` with `step` appended to the path shown in error messages.
    template <typename Body>
    auto at(Step step, Body body) {
        m_path.push_back(step);
        struct Pop {
            std::vector<Step>& path;
            ~Pop() { path.pop_back(); }
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

    static Step field(const char* key) { return Step{key}; }

    // The entries of `dict` whose keys are not in `known`, copied as they are.
    static UnknownKeys unknownKeys(plist_t dict, KnownKeys known) {
        PlistNode kept;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(dict, &iter);
        for (;;) {
            char* name = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(dict, iter, &name, &value);
            if (!name) {
                break;
            }
            const plist_type type = plist_get_node_type(value);
            if (std::find(known.begin(), known.end(), std::string_view(name)) == known.end() &&
                type != PLIST_KEY && type != PLIST_NONE) {
                if (!kept) {
                    kept.reset(plist_new_dict());
                }
                plist_dict_set_item(kept.get(), name, plist_copy(value));
            }
            std::free(name);
        }
        std::free(iter);
        if (!kept) {
            return {};
        }
        return UnknownKeys{std::shared_ptr<const void>(
            kept.release(), [](const void* node) { plist_free(const_cast<plist_t>(node)); })};
    }

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

    std::optional<double> optionalNumber(plist_t dict, const char* key) {
        plist_t node = plist_dict_get_item(dict, key);
        if (!node) {
            return std::nullopt;
        }
        return at(field(key), [&] { return numberValue(node); });
    }

    std::optional<bool> optionalBoolean(plist_t dict, const char* key) {
        if (!plist_dict_get_item(dict, key)) {
            return std::nullopt;
        }
        return boolean(dict, key);
    }

    std::optional<ColorValue> optionalColor(plist_t dict, const char* key) {
        if (!plist_dict_get_item(dict, key)) {
            return std::nullopt;
        }
        return color(dict, key);
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
            return std::pair{numberValue(plist_array_get_item(node, 0)),
                             numberValue(plist_array_get_item(node, 1))};
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
        s.measuredAt = optionalNumber(node, "measuredAt");
        s.overtimeForegroundColor = optionalColor(node, "overtimeForegroundColor");
        s.overtimeOutlineColor = optionalColor(node, "overtimeOutlineColor");
        if (const auto style = optionalString(node, "overtimeFlashStyle")) {
            const auto known = overtimeFlashStyleFromRawValue(*style);
            if (!known) {
                at(field("overtimeFlashStyle"),
                   [&] { fail(QStringLiteral("unknown flash style \u201C%1\u201D").arg(*style)); });
            }
            s.overtimeFlashStyle = *known;
        }
        s.showTenths = optionalBoolean(node, "showTenths").value_or(false);
        s.unknownKeys = unknownKeys(node, kCountdownKeys);
        return s;
    }

    StopwatchSettings stopwatch(plist_t node) {
        StopwatchSettings s;
        s.elapsed = number(node, "elapsed");
        s.isRunning = boolean(node, "isRunning");
        s.measuredAt = optionalNumber(node, "measuredAt");
        s.showTenths = optionalBoolean(node, "showTenths").value_or(false);
        s.unknownKeys = unknownKeys(node, kStopwatchKeys);
        return s;
    }

    TimecodeSettings timecode(plist_t node) {
        TimecodeSettings s;
        const QString rate = string(node, "frameRate");
        const auto frameRate = timecodeFrameRateFromRawValue(rate);
        if (!frameRate) {
            at(field("frameRate"),
               [&] { fail(QStringLiteral("unknown frame rate \u201C%1\u201D").arg(rate)); });
        }
        s.frameRate = *frameRate;
        s.audioInputDeviceID = optionalString(node, "audioInputDeviceID");
        s.audioChannelIndex = integer(node, "audioChannelIndex");
        s.audioInputDeviceName = optionalString(node, "audioInputDeviceName");
        s.unknownKeys = unknownKeys(node, kTimecodeKeys);
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
        s.rollOverAfter = optionalNumber(node, "rollOverAfter");
        s.unknownKeys = unknownKeys(node, kTimeUntilKeys);
        return s;
    }

    StageSettings stage(plist_t node) {
        StageSettings s;
        s.isActive = boolean(node, "isActive");
        s.screenName = optionalString(node, "screenName");
        const QString caption = string(node, "caption");
        const auto kind = captionKindFromRawValue(caption);
        if (!kind) {
            at(field("caption"),
               [&] { fail(QStringLiteral("unknown caption \u201C%1\u201D").arg(caption)); });
        }
        s.caption = *kind;
        s.message = withoutXmlForbiddenCharacters(string(node, "message"));
        s.clickThrough = boolean(node, "clickThrough");
        s.unknownKeys = unknownKeys(node, kStageKeys);
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
        // Older files may hold characters that no XML reader takes; they never reach the screen.
        c.name = withoutXmlForbiddenCharacters(string(node, "name"));
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
        c.countdown =
            optionalRecord<CountdownSettings>(node, "countdown", [&](plist_t n) { return countdown(n); });
        c.stopwatch =
            optionalRecord<StopwatchSettings>(node, "stopwatch", [&](plist_t n) { return stopwatch(n); });
        c.timecode =
            optionalRecord<TimecodeSettings>(node, "timecode", [&](plist_t n) { return timecode(n); });
        c.timeUntil =
            optionalRecord<TimeUntilSettings>(node, "timeUntil", [&](plist_t n) { return timeUntil(n); });
        c.use24HourTime = optionalBoolean(node, "use24HourTime");
        c.hideSeconds = optionalBoolean(node, "hideSeconds").value_or(false);
        c.stage = optionalRecord<StageSettings>(node, "stage", [&](plist_t n) { return stage(n); });
        c.unknownKeys = unknownKeys(node, kClockKeys);
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
        if (plist_dict_get_item(node, "runningTimersKeepCounting")) {
            s.runningTimersKeepCounting = boolean(node, "runningTimersKeepCounting");
        }
        // Added later: optional, but typed like every other key when present.
        const auto present = [node](const char* key) { return plist_dict_get_item(node, key) != nullptr; };
        if (present("remoteControlEnabled")) {
            s.remoteControlEnabled = boolean(node, "remoteControlEnabled");
        }
        if (present("remoteHttpPort")) {
            s.remoteHttpPort = integer(node, "remoteHttpPort");
        }
        if (present("remoteOscPort")) {
            s.remoteOscPort = integer(node, "remoteOscPort");
        }
        if (present("remoteAllowOtherComputers")) {
            s.remoteAllowOtherComputers = boolean(node, "remoteAllowOtherComputers");
        }
        if (present("remoteAccessToken")) {
            s.remoteAccessToken = string(node, "remoteAccessToken");
        }
        s.showOvertimeAsPlus = optionalBoolean(node, "showOvertimeAsPlus").value_or(false);
        s.unknownKeys = unknownKeys(node, kSettingsKeys);
        return s;
    }

    PersistenceContainer container(plist_t root) {
        expectDict(root);
        PersistenceContainer state;
        at(Step{"clocks", false}, [&] {
            plist_t clocks = require(root, "clocks");
            if (plist_get_node_type(clocks) != PLIST_ARRAY) {
                fail(QStringLiteral("expected an array"));
            }
            const uint32_t count = plist_array_get_size(clocks);
            state.clocks.reserve(count);
            for (uint32_t i = 0; i < count; ++i) {
                at(Step{nullptr, false, i},
                   [&] { state.clocks.append(clock(plist_array_get_item(clocks, i))); });
            }
        });
        at(Step{"settings", false},
           [&] { state.settings = settings(expectDict(require(root, "settings"))); });
        state.unknownKeys = unknownKeys(root, kRootKeys);
        return state;
    }

private:
    std::vector<Step> m_path;
};

} // namespace

std::optional<QByteArray> encodeStateFile(const PersistenceContainer& state, QString*) {
    std::string text;
    text.reserve(static_cast<size_t>(1024 + state.clocks.size() * 3200));
    Writer(&text).document(state);
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<PersistenceContainer> decodeStateFile(const QByteArray& original, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) {
            *error = why;
        }
        return std::nullopt;
    };
    if (original.isEmpty()) {
        return fail(QStringLiteral("the file is empty"));
    }
    if (original.size() > kMaximumStateFileBytes) {
        return fail(
            QStringLiteral("the file is too large to be a state file (%1 bytes)").arg(original.size()));
    }
    const QByteArray bytes = xmlAsUtf8(original);
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
