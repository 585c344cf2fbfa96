// The user-interface language, chosen once at start from the system locale.
#pragma once

// 1 when the texts are Japanese, 0 for English.
extern int g_bJapanese;
