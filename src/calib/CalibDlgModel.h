// What the calibration dialog edits, without its widgets: the name, the two real lengths (as typed) and
// the unit of one calibration entry, the texts it shows about them, and OK, which writes them back.
// Nothing reaches the entry before OK, so Cancel has nothing to undo: frame changes made by dragging stay
// in the entry, and its factors keep their old values.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

#include "calib/CalibEntry.h"

class CalibDlgModel {
public:
    // The longest name an entry keeps, in UTF-8 bytes.
    static constexpr int32_t kMaxNameBytes = 255;

    enum class OkResult { Done, BadLengthX, BadLengthY };

    // Starts editing entry: its name, lengths and unit become the edited values.
    void open(CalibEntry* entry);
    // Forgets the entry.
    void close() { m_Entry = nullptr; }
    CalibEntry* entry() const { return m_Entry; }

    // The edited values.
    QString name;
    QString lengthX;
    QString lengthY;
    int32_t unit = UnitCm;

    // "X = %f, Y = %f [<unit>/pix]" of the typed lengths over the entry's frame; nothing while a length is
    // not a finite number (the text shown then stays as it was).
    std::optional<QString> resultText() const;
    // The frame's size in picture pixels and, when both lengths are finite numbers and both factors
    // finite, how many percent the X and Y factors differ, in the current language.
    QString frameText() const;

    // Writes the edited values into the entry and recomputes its factors (an axis whose frame has no
    // extent keeps its factor). A length that is not a finite number leaves the entry unchanged and is
    // reported.
    OkResult ok();

    // A length as typed: a plain decimal number, surrounding blanks allowed; nothing when it is not a
    // finite number.
    static std::optional<double> parseLength(const QString& text);
    // text cut to at most maxBytes bytes of UTF-8, never inside a character.
    static QString limitBytes(const QString& text, int32_t maxBytes);
    // The text a length edit starts with.
    static QString formatLength(double v);

private:
    CalibEntry* m_Entry = nullptr;
};
