// Recording the live picture into an MP4 file with H.264 (libx264), on a worker thread of its own.
//
// The caller (the user-interface thread) pushes frames with their own capture times; they wait in a bounded
// queue, and when the encoder falls behind a frame is dropped and counted, so the display never waits for the
// encoder. Times are kept as they were: the file has a variable frame rate, the first frame at 0.
//
// The file is fragmented MP4 written straight to its place: an empty header first, then a fragment per
// keyframe, a keyframe at least every second. Whatever ends the recording (a crash, kill -9, a full disk),
// the file plays up to its last complete fragment, so at most about two seconds are lost. A write that fails
// ends the recording on the worker: status() then says failed, with the reason, and the file is cut back to
// its last complete fragment.
#pragma once

#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "imaging/DibImage.h"

class VideoRecorder {
public:
    struct Options {
        QString path;
        int width = 0; // of the frames that will be pushed; the video is rounded down to even sides
        int height = 0;
        double framesPerSecond = 12.5; // nominal, for the encoder's rate control and its longest keyframe interval
        int crf = 20; // constant quality: lower keeps finer detail in bigger files
        const char* preset = "veryfast";
        int threads = 1; // the encoder's threads: the display keeps a core of its own
        int queueFrames = 4; // frames that may wait for the encoder
    };
    struct Status {
        bool recording = false;
        bool failed = false;
        QString error; // why the recording failed, or why it could not start
        int64_t durationUs = 0; // time of the last frame written, from the first
        int64_t bytes = 0; // written to the file so far
        uint64_t frames = 0; // encoded
        uint64_t dropped = 0; // pushed while the queue was full, or not of the recording's size and kind
    };

    VideoRecorder();
    // Stops a recording that is still on (see stop).
    ~VideoRecorder();
    VideoRecorder(const VideoRecorder&) = delete;
    VideoRecorder& operator=(const VideoRecorder&) = delete;

    // Opens the encoder and the file (replacing a file of that name), writes the file's header and starts the
    // worker. False, with the reason in *error, when a recording is on already or the encoder or file cannot
    // be opened; no file is left then.
    bool start(const Options& options, QString* error);
    // Queues a frame (taken over) with its capture time in microseconds of a steady clock. 8-bit grey (or any
    // colour table) and 24-bit frames of the recording's size are taken. Never waits for the encoder: false
    // when the frame was dropped (counted) or no recording is on.
    bool push(DibImage&& frame, int64_t timeUs);
    // Encodes what waits, finishes the file and closes it. Does nothing when no recording is on.
    void stop();
    // From any thread.
    Status status() const;

    struct Encoder; // the FFmpeg side, the worker's alone while it runs

private:
    struct Queued {
        DibImage frame;
        int64_t timeUs = 0;
    };
    void run();
    void fail(const QString& error);

    Options m_Options;
    std::unique_ptr<Encoder> m_Encoder;
    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    std::deque<Queued> m_Queue;
    Status m_Status;
    bool m_Stop = false;
    std::thread m_Thread;
};
