#include "files/TimeLapse.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "platform/PrivateProfile.h"

namespace {

constexpr const char* kSection = "NX-QB740LE";
constexpr const char* kIntervalKey = "TimeLapseInterval";
constexpr const char* kCountKey = "TimeLapseCount";
constexpr const char* kByDurationKey = "TimeLapseByDuration";
constexpr const char* kDurationKey = "TimeLapseDuration";
constexpr const char* kFormatKey = "TimeLapseFormat";
constexpr const char* kOverlayKey = "TimeLapseOverlay";

// The key's value when it is a number within [low, high]; NaN and text fail the test.
std::optional<double> number(const ProfileFile& file, const char* key, double low, double high)
{
    const auto text = file.value(kSection, key);
    if (!text)
        return std::nullopt;
    bool ok = false;
    const double v = QString::fromStdString(*text).toDouble(&ok);
    if (!ok || !(v >= low && v <= high))
        return std::nullopt;
    return v;
}

// ms as seconds, rounded up (a countdown never shows 0 while time is left), with one decimal or none.
QString seconds(int64_t ms, bool decimal)
{
    if (decimal)
        return QString::number(double((std::max<int64_t>(ms, 0) + 99) / 100) / 10.0, 'f', 1);
    return QString::number((std::max<int64_t>(ms, 0) + 999) / 1000);
}

QString pick(bool japanese, const char* english, const char* japaneseText)
{
    return QString::fromUtf8(japanese ? japaneseText : english);
}

} // namespace

TimeLapseOptions TimeLapseOptions::Load(const ProfileFile& file)
{
    TimeLapseOptions o;
    if (const auto v = number(file, kIntervalKey, kMinInterval, kMaxInterval))
        o.intervalSeconds = *v;
    if (const auto v = number(file, kCountKey, 1, kMaxCount); v && *v == std::floor(*v))
        o.count = int(*v);
    if (const auto v = number(file, kDurationKey, 0, kMaxDuration))
        o.durationSeconds = *v;
    o.byDuration = file.intValue(kSection, kByDurationKey, 0) != 0;
    if (const auto format = file.value(kSection, kFormatKey))
        if (const int f = CaptureOptions::FormatOf(QString::fromStdString(*format)))
            o.format = f;
    o.overlay = file.intValue(kSection, kOverlayKey, 0) != 0;
    return o;
}

void TimeLapseOptions::save(ProfileFile& file) const
{
    file.setValue(kSection, kIntervalKey, QString::number(intervalSeconds, 'g', 12).toStdString());
    file.setValue(kSection, kCountKey, std::to_string(count));
    file.setValue(kSection, kByDurationKey, byDuration ? "1" : "0");
    file.setValue(kSection, kDurationKey, QString::number(durationSeconds, 'g', 12).toStdString());
    file.setValue(kSection, kFormatKey, CaptureOptions::Extension(format).toStdString());
    file.setValue(kSection, kOverlayKey, overlay ? "1" : "0");
}

int TimeLapseOptions::shots() const
{
    if (!byDuration)
        return std::max(count, 1);
    const double interval = std::max(intervalSeconds, kMinInterval);
    const double duration = std::clamp(durationSeconds, 0.0, kMaxDuration);
    // The small allowance keeps 0.3 s / 0.1 s at three whole intervals, not 2.999...
    return int(std::floor(duration / interval + 1e-9)) + 1;
}

void TimeLapse::start(const TimeLapseOptions& options, int64_t nowMs, const QDateTime& startTime)
{
    m_Options = options;
    m_Options.intervalSeconds =
        std::clamp(options.intervalSeconds, TimeLapseOptions::kMinInterval, TimeLapseOptions::kMaxInterval);
    if (!(m_Options.intervalSeconds >= TimeLapseOptions::kMinInterval)) // NaN
        m_Options.intervalSeconds = TimeLapseOptions().intervalSeconds;
    m_Options.count = std::clamp(options.count, 1, TimeLapseOptions::kMaxCount);
    if (CaptureOptions::Extension(m_Options.format).isEmpty())
        m_Options.format = TimeLapseOptions().format;
    m_Prefix = startTime.toString(QStringLiteral("yyyyMMddhhmmss"));
    m_StartMs = nowMs;
    m_Total = m_Options.shots();
    m_Taken = 0;
    m_Late = 0;
    m_LastLateMs = 0;
    m_Refusals = 0;
    m_Started = true;
    m_Stopped = false;
}

void TimeLapse::stop()
{
    if (running())
        m_Stopped = true;
}

bool TimeLapse::running() const
{
    return m_Started && !m_Stopped && m_Taken < m_Total;
}

int64_t TimeLapse::scheduledMs(int shot) const
{
    // From the start each time, so that rounding never adds up along the series.
    return m_StartMs + std::llround(double(shot) * m_Options.intervalSeconds * 1000.0);
}

bool TimeLapse::isDue(int64_t nowMs) const
{
    return running() && nowMs >= scheduledMs(m_Taken);
}

int64_t TimeLapse::msUntilNext(int64_t nowMs) const
{
    return running() ? std::max<int64_t>(scheduledMs(m_Taken) - nowMs, 0) : 0;
}

int64_t TimeLapse::toleranceMs() const
{
    return std::max<int64_t>(100, std::llround(m_Options.intervalSeconds * 100.0));
}

CaptureOptions TimeLapse::optionsForShot(const CaptureOptions& base) const
{
    CaptureOptions o = base;
    o.format = m_Options.format;
    o.overlay = m_Options.overlay;
    o.namePattern = m_Prefix + QStringLiteral("_%n");
    o.counter = m_Taken + 1;
    return o;
}

void TimeLapse::shotTaken(int64_t nowMs)
{
    if (!running())
        return;
    const int64_t late = nowMs - scheduledMs(m_Taken);
    m_LastLateMs = late > toleranceMs() ? late : 0;
    if (m_LastLateMs)
        ++m_Late;
    ++m_Taken;
}

void TimeLapse::shotRefused(int64_t nowMs)
{
    // Nothing moves: the shot stays due and its lateness grows with the clock until it is taken.
    if (isDue(nowMs))
        ++m_Refusals;
}

QString TimeLapse::status(int64_t nowMs, bool japanese) const
{
    if (!m_Started)
        return {};
    if (!running()) {
        QString text = m_Taken == m_Total
            ? (japanese ? QString::fromUtf8("タイムラプス終了：%1 枚").arg(m_Taken)
                        : QString(m_Taken == 1 ? "time-lapse done: %1 picture" : "time-lapse done: %1 pictures")
                              .arg(m_Taken))
            : pick(japanese, "time-lapse stopped: %1 of %2 pictures", "タイムラプス中止：%1 / %2 枚")
                  .arg(m_Taken)
                  .arg(m_Total);
        if (m_Late)
            text += pick(japanese, ", %1 late", "（%1 枚遅れ）").arg(m_Late);
        return text;
    }
    QString text = pick(japanese, "time-lapse %1 of %2", "タイムラプス %1 / %2").arg(m_Taken).arg(m_Total);
    const int64_t overdue = nowMs - scheduledMs(m_Taken);
    const int64_t late = overdue > toleranceMs() ? overdue : m_LastLateMs;
    if (late > 0)
        text += pick(japanese, ", late by %1 s", "、%1 秒遅れ").arg(seconds(late, late < 10000));
    if (overdue <= toleranceMs())
        text += pick(japanese, ", next in %1 s", "、次まで %1 秒")
                    .arg(seconds(msUntilNext(nowMs), m_Options.intervalSeconds < 10));
    return text;
}
