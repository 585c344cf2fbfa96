#include "files/VideoFile.h"

#include <QFile>
#include <QFileInfo>

#include "files/FfmpegSupport.h"

namespace {

// A file whose first picture needs more packets than this is broken, or not worth waiting for.
constexpr int kMaxPackets = 2000;

struct CloseInput {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};

bool sensibleSize(int width, int height)
{
    return width > 0 && height > 0 && width <= kMaxVideoSide && height <= kMaxVideoSide;
}

// The first frame the decoder gives for the stream's packets (and, at the end of the file, for what it
// still holds).
ffmpeg::Frame firstFrame(AVFormatContext* input, int stream, AVCodecContext* decoder)
{
    ffmpeg::Frame frame(av_frame_alloc());
    ffmpeg::Packet packet(av_packet_alloc());
    if (!frame || !packet)
        return nullptr;
    for (int read = 0; read < kMaxPackets; ++read) {
        const bool end = av_read_frame(input, packet.get()) < 0;
        if (!end && packet->stream_index != stream) {
            av_packet_unref(packet.get());
            continue;
        }
        const int sent = avcodec_send_packet(decoder, end ? nullptr : packet.get());
        av_packet_unref(packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN) && !end)
            continue; // a damaged packet: the next one may decode
        if (avcodec_receive_frame(decoder, frame.get()) == 0)
            return frame;
        if (end)
            return nullptr;
    }
    return nullptr;
}

} // namespace

bool DecodeVideoFirstFrame(const QString& path, DibImage& picture)
{
    // Only regular files: a pipe in a video's place would never end.
    if (!QFileInfo(path).isFile())
        return false;
    ffmpeg::quietLogs();
    // Local files only: a playlist disguised as a video must not reach out to the network.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVFormatContext* opened = nullptr;
    const QByteArray name = QFile::encodeName(path);
    const int status = avformat_open_input(&opened, name.constData(), nullptr, &options);
    av_dict_free(&options);
    if (status < 0)
        return false;
    std::unique_ptr<AVFormatContext, CloseInput> input(opened);
    if (avformat_find_stream_info(input.get(), nullptr) < 0)
        return false;
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (stream < 0 || !codec)
        return false;
    const AVCodecParameters* parameters = input->streams[stream]->codecpar;
    if (!sensibleSize(parameters->width, parameters->height))
        return false;
    ffmpeg::Codec decoder(avcodec_alloc_context3(codec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), parameters) < 0)
        return false;
    decoder->thread_count = 1; // the folder scan decodes several files at once already
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return false;
    const ffmpeg::Frame frame = firstFrame(input.get(), stream, decoder.get());
    if (!frame || !sensibleSize(frame->width, frame->height))
        return false;

    DibImage decoded;
    ffmpeg::Scaler scaler(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
        frame->height, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler || !decoded.Create(frame->width, frame->height, 24))
        return false;
    uint8_t* planes[4] = { ffmpeg::topRow(decoded) };
    const int strides[4] = { ffmpeg::topDownStride(decoded) };
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) != frame->height)
        return false;
    picture = std::move(decoded);
    return true;
}
