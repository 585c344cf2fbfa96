// A camera's MJPEG stream through one long-lived video decoder: each frame (the input split before every
// start of image) must decode exactly as a fresh decoder and a fresh TurboJPEG decompressor decode it
// alone, whatever tables the frames before it defined, and with any padding after its end.
#include <linux/videodev2.h>
#include <turbojpeg.h>

#include "camera/VideoDecoder.h"
#include "FuzzSupport.h"

namespace {

// The frame's size from its header, within a bound that keeps the runs fast; 8 x 8 otherwise (refused).
void sizeFor(const uint8_t* frame, size_t size, DibImage& dst)
{
    tjhandle h = tjInitDecompress();
    int width = 8, height = 8, subsampling = 0, colourspace = 0;
    if (tjDecompressHeader3(h, const_cast<uint8_t*>(frame), (unsigned long)size, &width, &height, &subsampling,
            &colourspace)
            != 0
        || width <= 0 || height <= 0 || int64_t(width) * height > 256 * 256)
        width = height = 8;
    tjDestroy(h);
    fuzzCheck(dst.Create(width, height, 24) && dst.Fill(nullptr, Rgb(0x12, 0x34, 0x56)), "a picture can be made");
}

bool referenceDecode(const uint8_t* frame, size_t size, DibImage& dst)
{
    tjhandle h = tjInitDecompress();
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    auto* data = const_cast<uint8_t*>(frame);
    const bool ok
        = tjDecompressHeader3(h, data, (unsigned long)size, &width, &height, &subsampling, &colourspace) == 0
        && width == dst.width() && height == dst.height()
        && tjDecompress2(h, data, (unsigned long)size, dst.bits(), width, dst.stride(), height, TJPF_BGR,
               TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING)
            == 0;
    tjDestroy(h);
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VideoDecoder stream;
    for (size_t start = 0; start < size;) {
        size_t end = start + 1;
        while (end + 2 < size && !(data[end] == 0xFF && data[end + 1] == 0xD8 && data[end + 2] == 0xFF))
            ++end;
        if (end + 2 >= size)
            end = size;
        const uint8_t* frame = data + start;
        const size_t bytes = end - start;
        start = end;
        DibImage kept, fresh, reference;
        sizeFor(frame, bytes, kept);
        sizeFor(frame, bytes, fresh);
        sizeFor(frame, bytes, reference);
        const bool keptOk = stream.Decode(V4L2_PIX_FMT_MJPEG, frame, bytes, 0, kept);
        VideoDecoder alone;
        const bool freshOk = alone.Decode(V4L2_PIX_FMT_MJPEG, frame, bytes, 0, fresh);
        const bool referenceOk = referenceDecode(frame, bytes, reference);
        fuzzCheck(keptOk == freshOk, "a kept decoder takes a frame exactly when a fresh one does");
        fuzzCheck(keptOk == referenceOk, "a frame is taken exactly when TurboJPEG alone takes it");
        if (keptOk) {
            fuzzCheck(samePicture(kept, fresh), "a kept decoder decodes a frame as a fresh one");
            fuzzCheck(samePicture(kept, reference), "a frame decodes as TurboJPEG alone decodes it");
        }
    }
    return 0;
}
