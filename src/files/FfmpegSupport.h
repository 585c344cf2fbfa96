// What the video recorder and the video reader share over FFmpeg: owners that free its objects, its error
// codes as text, and a DibImage's rows as a top-down plane (bottom-up rows: the top row, a negative stride).
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <QString>

#include <memory>

#include "imaging/DibImage.h"

namespace ffmpeg {

struct FreeCodec {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FreeFrame {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct FreePacket {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FreeScaler {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using Codec = std::unique_ptr<AVCodecContext, FreeCodec>;
using Frame = std::unique_ptr<AVFrame, FreeFrame>;
using Packet = std::unique_ptr<AVPacket, FreePacket>;
using Scaler = std::unique_ptr<SwsContext, FreeScaler>;

// FFmpeg's own messages stay out of the program's output: what goes wrong is told through our own texts.
inline void quietLogs()
{
    av_log_set_level(AV_LOG_FATAL);
}

inline QString errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// The image's pixels from its top row down, as FFmpeg's planes are laid out.
inline uint8_t* topRow(DibImage& image) { return image.rowTopDown(0); }
inline const uint8_t* topRow(const DibImage& image) { return image.rowTopDown(0); }
inline int topDownStride(const DibImage& image) { return -image.stride(); }

} // namespace ffmpeg
