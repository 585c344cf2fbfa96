// Time-lapse stills: a series of quick captures at a fixed interval. The schedule comes from the clock the
// caller reads (every call is given the time in milliseconds), not from frame counts, so a shot taken late
// never moves the ones after it, and a shot that cannot be taken on time is taken late, never skipped.
// The window takes each shot through QuickCapture with optionsForShot.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

#include "files/CaptureOptions.h"

class ProfileFile;

struct TimeLapseOptions {
    double intervalSeconds = 10;
    bool byDuration = false; // the number of shots from durationSeconds rather than count
    int count = 10;
    double durationSeconds = 600;
    int format = 3; // as CaptureOptions::format: 1 BMP, 2 JPEG, 3 PNG, 4 TIFF
    bool overlay = false;

    static constexpr double kMinInterval = 0.01;
    static constexpr double kMaxInterval = 86400;
    static constexpr int kMaxCount = 100000;
    static constexpr double kMaxDuration = 7 * 86400.0;

    // The values the file holds; a key absent or out of range keeps the default.
    static TimeLapseOptions Load(const ProfileFile& file);
    void save(ProfileFile& file) const;
    // The number of shots: count, or one at the start and one per whole interval within the duration.
    int shots() const;
};

class TimeLapse {
public:
    // Starts a series at nowMs; startTime names its files. Values out of range are brought into it.
    void start(const TimeLapseOptions& options, int64_t nowMs, const QDateTime& startTime);
    // Ends the series early (the shots taken stay).
    void stop();

    // Started, not stopped and not finished.
    bool running() const;
    // Shots taken so far, and in all.
    int taken() const { return m_Taken; }
    int total() const { return m_Total; }
    const TimeLapseOptions& options() const { return m_Options; }

    // When shot (0-based) is due: the start plus shot intervals.
    int64_t scheduledMs(int shot) const;
    // Whether the next shot is due at nowMs, and how long until it is (0 when due, or when not running).
    bool isDue(int64_t nowMs) const;
    int64_t msUntilNext(int64_t nowMs) const;
    // How late a shot may be and still count as on time.
    int64_t toleranceMs() const;

    // base with this series' format and drawing, named "<start time>_%n" with the next shot's number
    // (1-based); the JPEG quality and the rest as base has them.
    CaptureOptions optionsForShot(const CaptureOptions& base) const;
    // The next shot was taken at nowMs: its lateness is noted and the series moves on.
    void shotTaken(int64_t nowMs);
    // The next shot could not be taken at nowMs (the writer is behind, or no new camera frame since the last
    // shot): it stays due, to be taken late.
    void shotRefused(int64_t nowMs);

    // Shots taken later than the tolerance; how late the last shot taken was when it was one of them (else 0);
    // how many times a shot was refused.
    int lateShots() const { return m_Late; }
    int64_t lastLateMs() const { return m_LastLateMs; }
    int refusals() const { return m_Refusals; }

    // The status line: "time-lapse 3 of 20, next in 4 s", with "late by 1.2 s" while a shot is overdue or
    // when the last one was late; the count (and the late ones) once the series ends. Empty before a start.
    QString status(int64_t nowMs, bool japanese) const;

private:
    TimeLapseOptions m_Options;
    QString m_Prefix; // the start time as the files' names begin
    int64_t m_StartMs = 0;
    int m_Total = 0;
    int m_Taken = 0;
    int m_Late = 0;
    int64_t m_LastLateMs = 0;
    int m_Refusals = 0;
    bool m_Started = false;
    bool m_Stopped = false;
};
