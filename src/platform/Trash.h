// The trash box: moving a file into the user's trash (the freedesktop trash on Linux), so that it can be
// restored, never deleting it.
#pragma once

#include <QString>

// Moves the file into the trash. True only when the file is gone from its place afterwards; *pathInTrash
// (when given) receives where it went. The user's data folder, which holds the trash, is made first when
// missing: without it the move would land somewhere else entirely.
bool MoveToTrash(const QString& path, QString* pathInTrash = nullptr);
