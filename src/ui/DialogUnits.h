// Dialog units, the measure the window templates are written in, and their conversion to pixels.
#pragma once

// Dialog units of "MS Shell Dlg" 9 pt: one fixed base-unit pair, so the dialogs look the same everywhere.
constexpr int kBaseUnitX = 7;
constexpr int kBaseUnitY = 14;
int DialogUnitsToPixelsX(int du);
int DialogUnitsToPixelsY(int du);
