// The program's string table: every text shown by id, in English and Japanese (chosen by g_bJapanese).
#pragma once

#include <QString>

// The text of id in the current language; an empty string for an unknown id.
QString LoadString(int id);
// The text of id in the given language (false: English, true: Japanese).
QString LoadString(int id, bool japanese);
