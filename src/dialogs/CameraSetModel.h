// What the Camera Setting dialog edits, without its widgets: plain copies of nine settings, the rule of
// each field, the clock list's selection, and loading and saving the six timing values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dialogs/TimingFile.h"

// The nine settings the dialog edits, named after their settings keys.
struct CameraSetValues {
    int32_t TH = 2048, TV = 1536, EH = 2048, EV = 1536, EHS = 0, EVS = 0;
    int32_t timer = 0, BufSize = 10, Clock = 0;
    bool operator==(const CameraSetValues&) const = default;
};

// One number field of the dialog: its control id, its labels, the value it edits and the largest value it
// takes (every field takes digits only, so none is below 0).
struct CameraSetField {
    int id;
    const char* english;
    const char* japanese;
    int32_t CameraSetValues::*value;
    int32_t maximum;
    bool editable;
};

class CameraSetModel {
public:
    static constexpr int kClockNormal = 0;
    static constexpr int kClockHalf = 1;
    static constexpr size_t kFieldCount = 8;
    static const CameraSetField kFields[kFieldCount];

    // Starts from the main window's values, each number held within its field's range. The clock is kept
    // as it is, even one the list does not offer.
    explicit CameraSetModel(const CameraSetValues& values);

    const CameraSetValues& values() const { return m_Values; }
    // A typed value, held within the field's range.
    void setValue(const CameraSetField& field, int64_t value);
    // The clock list's entry for the held clock: -1 for a clock it does not offer.
    int clockIndex() const;
    // The list's selection: 0 or 1 becomes the clock; no selection (-1) keeps the held clock, so that a
    // stored clock the list does not show survives OK.
    void selectClock(int index);

    // Loads the six timing values from a file over the held ones (see TimingFile::Load), each held within
    // its range. False, and nothing changed, when the file cannot be read.
    bool load(const QString& fileName);
    // Writes the six timing values held now.
    bool save(const QString& fileName) const;

private:
    CameraTiming timing() const;
    void holdInRange();

    CameraSetValues m_Values;
};
