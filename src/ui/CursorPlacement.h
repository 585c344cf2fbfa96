// Where a dialog opened from a button goes: up and to the left of the mouse pointer, so that it does not
// cover the spot the user is working on, yet wholly on the screen.
#pragma once

#include "imaging/Rect.h"

// Top-left corner for a dialog of the given size: 300 pixels left of and 150 above cursor, moved onto
// available (to its top-left corner when the dialog is larger than it).
Point dialogPositionAtCursor(Point cursor, ::Size dialog, const Rect& available);
// The same for a dialog that goes offset.cx pixels left of and offset.cy above cursor.
Point dialogPositionAtCursor(Point cursor, ::Size offset, ::Size dialog, const Rect& available);
