// One thumbnail of the save folder: a 140 x 105 24-bit picture, the full path of its picture file, and
// its neighbours in the store's list (oldest first).
#pragma once

#include <QString>

#include <cstdint>

#include "imaging/DibImage.h"

struct ThumbnailEntry {
    int32_t id = 0; // pseudo-random number times the tick count, given when the entry is made
    DibImage image;
    QString path;
    ThumbnailEntry* prev = nullptr;
    ThumbnailEntry* next = nullptr;
};
