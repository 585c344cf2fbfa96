// An emulated video capture device for tests and benchmarks. The library interposes open, close, ioctl,
// mmap, munmap and poll: calls on its device nodes are answered from a script, every other file goes on
// to the C library. Linked into a program (ahead of the C library, as shared libraries are) its symbols
// come first, so the real client code runs unchanged, sanitizers' interceptors included.
//
// The scripted device is "/dev/video9" (video capture, streaming, card "Fake Camera"). Frames the test
// pushes are delivered in order into the buffers the client queues; a gated device delivers only frames
// the test has released.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FAKEV4L2_PATH "/dev/video9"

// Forgets every format, size, control, frame and fault; the device is present again. Nodes opened before
// answer ENODEV from then on.
void fakev4l2_reset(void);
// Another node that answers only the capability query, with these capabilities (a camera's metadata
// node, say).
void fakev4l2_add_node(const char* path, uint32_t capabilities);
// Offers fourcc at width x height (the format is listed in the order of first mention).
void fakev4l2_add_format(uint32_t fourcc, uint32_t width, uint32_t height);
// Setting this format gives the first other format instead, as drivers do.
void fakev4l2_refuse_format(uint32_t fourcc);
// Extra bytes at the end of every row of uncompressed formats.
void fakev4l2_set_padding(uint32_t bytes);
// Zero bytes after every compressed frame, counted in its bytes used, as cameras that pad their frames.
void fakev4l2_set_frame_tail(uint32_t bytes);
// A control (V4L2_CTRL_TYPE_INTEGER, _BOOLEAN or _MENU; menuMask: the menu items offered, bit per item).
void fakev4l2_add_control(
    uint32_t id, uint32_t type, int32_t minimum, int32_t maximum, int32_t step, int32_t def, uint32_t menuMask);
// The control's current value as the device holds it.
int32_t fakev4l2_control(uint32_t id);
void fakev4l2_push_frame(const void* data, size_t size);
void fakev4l2_set_gated(int gated);
// Lets a gated device complete the next frames.
void fakev4l2_release(int frames);
// When no pushed frame is left, the last one completes again every periodMicros (0: off).
void fakev4l2_repeat(int periodMicros);
// The next dequeue fails with this error number.
void fakev4l2_fail_dequeue(int error);
// Unplugged: open nodes answer ENODEV (poll: error and hang-up) and the paths no longer open.
void fakev4l2_vanish(void);
// Plugged in again: the paths open (nodes opened before stay dead).
void fakev4l2_replug(void);
// Denied (1): the paths are there but refuse to open (EACCES), as for a user outside the "video" group.
void fakev4l2_deny(int denied);
// Waits until the client has dequeued count frames in all; 1 when it has, 0 on timeout.
int fakev4l2_wait_dequeued(int count, int timeoutMs);
// Frames dequeued so far.
int fakev4l2_dequeued(void);
// Buffers the device holds now (queued, or filled and not yet dequeued).
int fakev4l2_queued(void);
// Emulated nodes open now.
int fakev4l2_open_count(void);

#ifdef __cplusplus
}
#endif
