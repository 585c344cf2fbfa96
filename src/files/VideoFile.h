// Reading recorded videos: the first frame, for the thumbnail strip (the videos themselves play in the
// system's player).
#pragma once

#include <QString>

class DibImage;

// Frames wider or taller than this are no video of ours: a forged header must not make us allocate from its
// claims.
constexpr int kMaxVideoSide = 8192;

// Decodes the first picture of the file's video stream (any container and codec FFmpeg reads, local files
// only) into picture, made 24-bit of the frame's size. False, picture left as it was, when the file is no
// regular file, holds no decodable video, or its frames are larger than kMaxVideoSide.
bool DecodeVideoFirstFrame(const QString& path, DibImage& picture);
