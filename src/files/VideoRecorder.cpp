#include "files/VideoRecorder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/opt.h>
}

#include "files/FfmpegSupport.h"

namespace {

// A fine time base, so that every capture time keeps its place (to 11 microseconds).
constexpr AVRational kTimeBase { 1, 90000 };
constexpr int64_t kTicksPerSecond = 90000;
// The longest time between keyframes, and so the longest fragment.
constexpr int64_t kKeyframeTicks = kTicksPerSecond;
constexpr int kIoBufferBytes = 1 << 16;

QString fileError(const QString& path, int errorNumber)
{
    return QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), QString::fromLocal8Bit(std::strerror(errorNumber)));
}

} // namespace

// The encoder, the muxer and the file. The muxer writes through our own callbacks onto the file descriptor,
// so that a write error is seen with its reason and the end of the last whole fragment is known.
struct VideoRecorder::Encoder {
    QString path;
    int fd = -1;
    int64_t position = 0; // the file offset the next write goes to
    int64_t size = 0; // the file's size as written
    int64_t complete = 0; // the file's size after the last write that left whole fragments
    int writeErrno = 0;
    ffmpeg::Codec codec;
    AVFormatContext* format = nullptr;
    AVIOContext* io = nullptr;
    AVStream* stream = nullptr;
    ffmpeg::Frame picture;
    ffmpeg::Packet packet;
    ffmpeg::Scaler colour; // from 24-bit frames
    ffmpeg::Scaler indexed; // from 8-bit frames through their colour table
    uint32_t palette[256] = {};
    int64_t originUs = 0;
    int64_t lastTicks = -1; // the last frame's time; -1 before the first
    int64_t lastKeyTicks = 0;
    int64_t halfFrameTicks = 0;

    ~Encoder()
    {
        if (format)
            avformat_free_context(format);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
        if (fd >= 0)
            ::close(fd);
    }

    static int writeBytes(void* opaque, uint8_t* data, int count)
    {
        auto* self = static_cast<Encoder*>(opaque);
        for (int done = 0; done < count;) {
            const ssize_t n = ::write(self->fd, data + done, size_t(count - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                self->writeErrno = n < 0 ? errno : ENOSPC;
                return AVERROR(self->writeErrno);
            }
            done += int(n);
            self->position += n;
            self->size = std::max(self->size, self->position);
        }
        return count;
    }

    static int64_t seekTo(void* opaque, int64_t offset, int whence)
    {
        auto* self = static_cast<Encoder*>(opaque);
        if (whence == AVSEEK_SIZE)
            return self->size;
        const off_t at = ::lseek(self->fd, off_t(offset), whence & ~AVSEEK_FORCE);
        if (at < 0)
            return AVERROR(errno);
        self->position = at;
        return at;
    }

    // Why the last write failed, once one did.
    QString writeError(int code) const
    {
        return writeErrno ? fileError(path, writeErrno) : QFileInfo(path).fileName() + QStringLiteral(": ") + ffmpeg::errorText(code);
    }

    // Checks the muxer's write, whose bytes were just flushed to the file: whole fragments end there.
    QString written(int code)
    {
        if (code >= 0 && io->error >= 0 && writeErrno == 0) {
            complete = size;
            return {};
        }
        return writeError(code < 0 ? code : io->error);
    }

    QString open(const Options& options, int width, int height)
    {
        path = options.path;
        ffmpeg::quietLogs();
        const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
        if (!h264)
            return QStringLiteral("No H.264 encoder (libx264) in this FFmpeg");
        const double rate = std::isfinite(options.framesPerSecond) && options.framesPerSecond > 0
            ? std::min(options.framesPerSecond, 1000.0) : 12.5;
        halfFrameTicks = int64_t(kTicksPerSecond / rate / 2);
        codec.reset(avcodec_alloc_context3(h264));
        picture.reset(av_frame_alloc());
        packet.reset(av_packet_alloc());
        if (!codec || !picture || !packet)
            return QStringLiteral("Out of memory");
        codec->width = width;
        codec->height = height;
        codec->pix_fmt = AV_PIX_FMT_YUV420P;
        codec->time_base = kTimeBase;
        codec->framerate = av_d2q(rate, 100000);
        codec->gop_size = std::max(1, int(std::lround(rate))); // x264's own limit; ours is by time, below
        codec->max_b_frames = 0;
        codec->thread_count = std::max(1, options.threads);
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER; // MP4 keeps the parameter sets in its header
        av_opt_set(codec->priv_data, "preset", options.preset ? options.preset : "veryfast", 0);
        // Every frame leaves the encoder at once: a frame held back for look-ahead would be lost in a crash.
        av_opt_set(codec->priv_data, "tune", "zerolatency", 0);
        av_opt_set_double(codec->priv_data, "crf", std::clamp(options.crf, 0, 51), 0);
        av_opt_set_int(codec->priv_data, "forced-idr", 1, 0); // forced keyframes start fragments
        int code = avcodec_open2(codec.get(), h264, nullptr);
        if (code < 0)
            return QStringLiteral("H.264 encoder: ") + ffmpeg::errorText(code);
        picture->format = AV_PIX_FMT_YUV420P;
        picture->width = width;
        picture->height = height;
        if (av_frame_get_buffer(picture.get(), 0) < 0)
            return QStringLiteral("Out of memory");

        if (avformat_alloc_output_context2(&format, nullptr, "mp4", nullptr) < 0 || !format)
            return QStringLiteral("No MP4 writer in this FFmpeg");
        stream = avformat_new_stream(format, nullptr);
        if (!stream || avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0)
            return QStringLiteral("Out of memory");
        stream->time_base = kTimeBase;

        const QByteArray name = QFile::encodeName(path);
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return fileError(path, errno);
        auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
        io = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 1, this, nullptr, &writeBytes, &seekTo) : nullptr;
        if (!io) {
            av_free(buffer);
            return QStringLiteral("Out of memory");
        }
        format->pb = io;
        format->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FLUSH_PACKETS;
        format->flush_packets = 1; // each fragment reaches the file as soon as it is complete
        AVDictionary* muxing = nullptr;
        // An empty header, then a fragment from each keyframe on, each starting afresh: a file cut short plays.
        av_dict_set(&muxing, "movflags", "frag_keyframe+empty_moov+default_base_moof", 0);
        code = avformat_write_header(format, &muxing);
        av_dict_free(&muxing);
        if (code >= 0)
            avio_flush(io);
        return written(code);
    }

    // The encoder's packets so far, into the file.
    QString drain()
    {
        for (;;) {
            int code = avcodec_receive_packet(codec.get(), packet.get());
            if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
                return {};
            if (code < 0)
                return QStringLiteral("H.264 encoder: ") + ffmpeg::errorText(code);
            if (packet->flags & AV_PKT_FLAG_KEY)
                lastKeyTicks = packet->pts;
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            code = av_interleaved_write_frame(format, packet.get());
            if (const QString error = written(code); !error.isEmpty())
                return error;
        }
    }

    QString encode(const DibImage& frame, int64_t timeUs)
    {
        if (lastTicks < 0)
            originUs = timeUs;
        int64_t ticks = av_rescale(timeUs - originUs, kTicksPerSecond, 1000000);
        ticks = std::max(ticks, lastTicks + 1); // times only go forward, however the frames came
        if (av_frame_make_writable(picture.get()) < 0)
            return QStringLiteral("Out of memory");
        const bool grey = frame.bitsPerPixel() == 8;
        ffmpeg::Scaler& scaler = grey ? indexed : colour;
        if (!scaler)
            scaler.reset(sws_getContext(codec->width, codec->height, grey ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_BGR24,
                codec->width, codec->height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!scaler)
            return QStringLiteral("Out of memory");
        if (grey) {
            for (int i = 0; i < 256; ++i) {
                const RgbQuad& c = frame.colorTable()[i];
                palette[i] = 0xff000000u | uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            }
        }
        const uint8_t* planes[4] = { ffmpeg::topRow(frame), grey ? reinterpret_cast<const uint8_t*>(palette) : nullptr };
        const int strides[4] = { ffmpeg::topDownStride(frame) };
        sws_scale(scaler.get(), planes, strides, 0, codec->height, picture->data, picture->linesize);
        picture->pts = ticks;
        const bool key = lastTicks < 0 || ticks - lastKeyTicks + halfFrameTicks >= kKeyframeTicks;
        picture->pict_type = key ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (key)
            lastKeyTicks = ticks;
        lastTicks = ticks;
        const int code = avcodec_send_frame(codec.get(), picture.get());
        if (code < 0)
            return QStringLiteral("H.264 encoder: ") + ffmpeg::errorText(code);
        return drain();
    }

    // The encoder's last packets, then the muxer's last fragment and its index.
    QString finish()
    {
        avcodec_send_frame(codec.get(), nullptr);
        if (QString error = drain(); !error.isEmpty())
            return error;
        const int code = av_write_trailer(format);
        if (code >= 0)
            avio_flush(io);
        return written(code);
    }

    // After a failed write: the file ends with its last whole fragment.
    void cutBack()
    {
        if (fd >= 0 && ::ftruncate(fd, off_t(complete)) == 0)
            size = complete;
    }
};

VideoRecorder::VideoRecorder() = default;

VideoRecorder::~VideoRecorder()
{
    stop();
}

bool VideoRecorder::start(const Options& options, QString* error)
{
    const auto refuse = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (status().recording && !status().failed)
        return refuse(QStringLiteral("A recording is on already"));
    stop(); // a recording that failed or ended still has its worker to join
    const int width = options.width & ~1;
    const int height = options.height & ~1;
    if (width < 2 || height < 2 || width > 16384 || height > 16384 || options.queueFrames < 1)
        return refuse(QStringLiteral("Unsuitable picture size for a video: %1 x %2").arg(options.width).arg(options.height));
    auto encoder = std::make_unique<Encoder>();
    if (const QString why = encoder->open(options, width, height); !why.isEmpty()) {
        if (encoder->fd >= 0)
            QFile::remove(options.path); // nothing of a recording that never began stays
        return refuse(why);
    }
    std::lock_guard lock(m_Mutex);
    m_Options = options;
    m_Encoder = std::move(encoder);
    m_Status = Status {};
    m_Status.recording = true;
    m_Status.bytes = m_Encoder->size;
    m_Stop = false;
    m_Queue.clear();
    try {
        m_Thread = std::thread(&VideoRecorder::run, this);
    } catch (const std::system_error&) {
        m_Encoder.reset();
        m_Status.recording = false;
        QFile::remove(options.path);
        return refuse(QStringLiteral("No thread for the recording"));
    }
    return true;
}

bool VideoRecorder::push(DibImage&& frame, int64_t timeUs)
{
    std::lock_guard lock(m_Mutex);
    if (!m_Status.recording || m_Status.failed || m_Stop)
        return false;
    const bool fits = !frame.isEmpty() && (frame.bitsPerPixel() == 8 || frame.bitsPerPixel() == 24)
        && frame.width() == m_Options.width && frame.height() == m_Options.height;
    if (!fits || int(m_Queue.size()) >= m_Options.queueFrames) {
        ++m_Status.dropped;
        return false;
    }
    m_Queue.push_back({ std::move(frame), timeUs });
    m_Wake.notify_one();
    return true;
}

void VideoRecorder::stop()
{
    {
        std::lock_guard lock(m_Mutex);
        m_Stop = true;
    }
    m_Wake.notify_one();
    if (m_Thread.joinable())
        m_Thread.join();
}

VideoRecorder::Status VideoRecorder::status() const
{
    std::lock_guard lock(m_Mutex);
    return m_Status;
}

void VideoRecorder::fail(const QString& error)
{
    m_Encoder->cutBack();
    std::lock_guard lock(m_Mutex);
    m_Status.failed = true;
    m_Status.error = error;
    m_Status.bytes = m_Encoder->size;
    m_Status.dropped += m_Queue.size(); // never to be encoded
    m_Queue.clear();
}

void VideoRecorder::run()
{
    Encoder& encoder = *m_Encoder;
    QString error;
    std::unique_lock lock(m_Mutex);
    for (;;) {
        m_Wake.wait(lock, [this] { return m_Stop || !m_Queue.empty(); });
        if (m_Queue.empty())
            break; // stopping, and every frame that waited is in
        Queued next = std::move(m_Queue.front());
        m_Queue.pop_front();
        lock.unlock();
        error = encoder.encode(next.frame, next.timeUs);
        next.frame = DibImage();
        lock.lock();
        if (!error.isEmpty())
            break;
        ++m_Status.frames;
        m_Status.durationUs = av_rescale(encoder.lastTicks, 1000000, kTicksPerSecond);
        m_Status.bytes = encoder.size;
    }
    lock.unlock();
    if (error.isEmpty())
        error = encoder.finish();
    if (!error.isEmpty())
        fail(error);
    lock.lock();
    m_Status.recording = false;
    m_Status.bytes = encoder.size;
    lock.unlock();
    m_Encoder.reset(); // closes the file
}
