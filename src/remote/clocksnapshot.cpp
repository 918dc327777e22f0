#include "clocksnapshot.h"

#include "display/moderules.h"
#include "model/appstate.h"
#include "timecode/timecoderuntime.h"

#include <algorithm>
#include <cmath>

namespace tavix {

QString rawValue(ClockState state) {
    switch (state) {
    case ClockState::normal:
        return QStringLiteral("normal");
    case ClockState::warning:
        return QStringLiteral("warning");
    case ClockState::overtime:
        return QStringLiteral("overtime");
    case ClockState::atTarget:
        return QStringLiteral("atTarget");
    case ClockState::hold:
        return QStringLiteral("hold");
    case ClockState::noSignal:
        return QStringLiteral("noSignal");
    }
    return {};
}

QString closedTimecodeText() {
    return QStringLiteral("00:00:00:00");
}

ClockSnapshot snapshotOf(const ClockModel& clock, const QDateTime& now, bool flashVisible, bool windowOpen,
                         const TimecodeRuntime* runtime, bool overtimeAsPlus) {
    ClockSnapshot s;
    s.id = clock.id;
    s.name = clock.name;
    s.mode = clock.mode;
    s.windowOpen = windowOpen;
    if (clock.stage) {
        s.stageMode = clock.stage->isActive;
        s.stageScreen = clock.stage->screenName;
        s.caption = clock.stage->caption;
        s.message = clock.stage->message;
    }
    s.textColor = currentTextColor(clock, now);
    s.outlineColor = currentOutlineColor(clock, now);
    s.backgroundColor = clock.backgroundColor;
    switch (clock.mode) {
    case ClockMode::timecode:
        // The timecode display has no warning or target colours.
        s.textColor = clock.foregroundColor;
        s.outlineColor = clock.outlineColor;
        if (runtime) {
            s.text = runtime->displayString();
            s.hold = runtime->holdEnabled();
            if (runtime->holdEnabled()) {
                s.state = ClockState::hold;
            } else if (runtime->showsNoTimecode()) {
                s.state = ClockState::noSignal;
            }
        } else {
            // A closed window captures nothing.
            s.text = closedTimecodeText();
            s.state = ClockState::noSignal;
        }
        return s;
    case ClockMode::countdown:
        if (const auto& c = clock.countdown) {
            s.isRunning = c->isRunning;
            s.remaining = c->remaining;
            s.duration = c->duration;
            if (c->remaining < 0) {
                s.state = ClockState::overtime;
            } else if (isInWarningBand(*c)) {
                s.state = ClockState::warning;
            }
        }
        break;
    case ClockMode::stopwatch:
        s.elapsed = clock.stopwatch ? clock.stopwatch->elapsed : 0.0;
        s.isRunning = clock.stopwatch && clock.stopwatch->isRunning;
        break;
    case ClockMode::timeUntil:
        if (const auto& t = clock.timeUntil) {
            s.remaining = timeUntilRemaining(clock, now);
            s.target = TimeOfDay{t->targetHour, t->targetMinute, t->targetSecond};
            if (isTimeUntilAtTarget(*t, now)) {
                s.state = ClockState::atTarget;
            }
        }
        break;
    case ClockMode::clock:
        break;
    }
    const DisplayContent content = displayContent(clock, now, flashVisible, {}, overtimeAsPlus);
    s.text = content.text;
    s.textVisible = content.visible;
    return s;
}

bool changesByItself(const ClockSnapshot& clock) {
    switch (clock.mode) {
    case ClockMode::clock:
        return true;
    case ClockMode::timeUntil:
        return clock.target.has_value();
    case ClockMode::timecode:
        return clock.windowOpen;
    case ClockMode::countdown:
    case ClockMode::stopwatch:
        return clock.isRunning;
    }
    return false;
}

QString cssColor(const ColorValue& color) {
    const RgbaComponents c = color.components();
    const auto byte = [](double v) {
        if (!std::isfinite(v)) {
            v = 0;
        }
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return QStringLiteral("#%1%2%3%4")
        .arg(byte(c.red), 2, 16, QLatin1Char('0'))
        .arg(byte(c.green), 2, 16, QLatin1Char('0'))
        .arg(byte(c.blue), 2, 16, QLatin1Char('0'))
        .arg(byte(c.alpha), 2, 16, QLatin1Char('0'))
        .toUpper();
}

namespace {

// JSON has no infinities or NaN; a hand-edited file may hold them.
QJsonValue number(double value) {
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue();
}

} // namespace

QJsonObject toJson(const ClockSnapshot& clock) {
    QJsonObject o{
        {QStringLiteral("id"), uuidText(clock.id)},
        {QStringLiteral("name"), clock.name},
        {QStringLiteral("mode"), rawValue(clock.mode)},
        {QStringLiteral("text"), clock.text},
        {QStringLiteral("textVisible"), clock.textVisible},
        {QStringLiteral("isRunning"), clock.isRunning},
        {QStringLiteral("state"), rawValue(clock.state)},
        {QStringLiteral("windowOpen"), clock.windowOpen},
        {QStringLiteral("colors"),
         QJsonObject{{QStringLiteral("text"), cssColor(clock.textColor)},
                     {QStringLiteral("outline"), cssColor(clock.outlineColor)},
                     {QStringLiteral("background"), cssColor(clock.backgroundColor)}}},
    };
    if (clock.remaining) {
        o.insert(QStringLiteral("remaining"), number(*clock.remaining));
    }
    if (clock.duration) {
        o.insert(QStringLiteral("duration"), number(*clock.duration));
    }
    if (clock.elapsed) {
        o.insert(QStringLiteral("elapsed"), number(*clock.elapsed));
    }
    if (clock.target) {
        o.insert(QStringLiteral("target"),
                 QJsonObject{{QStringLiteral("hour"), static_cast<qint64>(clock.target->hour)},
                             {QStringLiteral("minute"), static_cast<qint64>(clock.target->minute)},
                             {QStringLiteral("second"), static_cast<qint64>(clock.target->second)}});
    }
    if (clock.hold) {
        o.insert(QStringLiteral("hold"), *clock.hold);
    }
    QJsonObject stage{{QStringLiteral("on"), clock.stageMode},
                      {QStringLiteral("caption"), rawValue(clock.caption)},
                      {QStringLiteral("message"), clock.message}};
    if (clock.stageScreen) {
        stage.insert(QStringLiteral("screen"), *clock.stageScreen);
    }
    o.insert(QStringLiteral("stage"), stage);
    return o;
}

QJsonArray toJson(const QList<ClockSnapshot>& clocks) {
    QJsonArray array;
    for (const ClockSnapshot& clock : clocks) {
        array.append(toJson(clock));
    }
    return array;
}

std::optional<qsizetype> findClock(const QList<ClockSnapshot>& clocks, const QString& idOrName) {
    if (const auto id = uuidFromText(idOrName)) {
        for (qsizetype i = 0; i < clocks.size(); ++i) {
            if (clocks[i].id == *id) {
                return i;
            }
        }
    }
    for (qsizetype i = 0; i < clocks.size(); ++i) {
        if (clockNamesEqual(clocks[i].name, idOrName)) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace tavix
