#include "platform/Language.h"

int g_bJapanese = 0;
