// Reading a video back with FFmpeg's own demuxer and decoder, for the tests of what the recorder wrote.
#pragma once

#include <QFile>
#include <QString>

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

struct Colour {
    double b, g, r;
};

// What a file holds, read with FFmpeg's own demuxer and decoder: each frame's time in seconds and mean
// colour (from the mean Y, U and V, as BT.601 limited range defines them), and how reading ended.
struct Decoded {
    std::vector<double> seconds;
    std::vector<Colour> colours;
    int width = 0, height = 0;
    bool cleanEnd = false; // the demuxer reached the end without an error
};

inline Decoded decodeAll(const QString& path)
{
    Decoded out;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
        return out;
    const AVCodec* codec = nullptr;
    const int stream = avformat_find_stream_info(input, nullptr) >= 0
        ? av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0) : -1;
    AVCodecContext* decoder = stream >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    if (decoder && avcodec_parameters_to_context(decoder, input->streams[stream]->codecpar) >= 0
        && avcodec_open2(decoder, codec, nullptr) >= 0) {
        const AVRational base = input->streams[stream]->time_base;
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        int read = 0;
        while (read >= 0) {
            read = av_read_frame(input, packet);
            if (read >= 0 && packet->stream_index != stream) {
                av_packet_unref(packet);
                continue;
            }
            avcodec_send_packet(decoder, read >= 0 ? packet : nullptr);
            av_packet_unref(packet);
            while (avcodec_receive_frame(decoder, frame) == 0) {
                out.width = frame->width;
                out.height = frame->height;
                out.seconds.push_back(double(frame->best_effort_timestamp) * av_q2d(base));
                double sums[3] = {};
                for (int plane = 0; plane < 3; ++plane) {
                    const int w = plane ? frame->width / 2 : frame->width, h = plane ? frame->height / 2 : frame->height;
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            sums[plane] += frame->data[plane][y * frame->linesize[plane] + x];
                    sums[plane] /= double(w) * h;
                }
                const double y = 1.164 * (sums[0] - 16), u = sums[1] - 128, v = sums[2] - 128;
                out.colours.push_back({ y + 2.018 * u, y - 0.813 * v - 0.391 * u, y + 1.596 * v });
            }
        }
        out.cleanEnd = read == AVERROR_EOF;
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return out;
}

