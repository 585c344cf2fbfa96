// The picture loader that the strip and the browser open saved pictures with, on arbitrary bytes in a file
// (BMP, JPEG, PNG or GIF by content). A picture that opens is a 24-bit image; one that does not leaves the
// picture on screen as it was. The image plugins report broken input on stderr: run it with
// -close_fd_mask=2 (tools/run-fuzz.sh does).
#include "files/OpenPicture.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = scratchFile("picture", data, size);
    DibImage before;
    fuzzCheck(before.Create(5, 3, 24) && before.Fill(nullptr, Rgb(0x12, 0x34, 0x56)), "a small image can be made");
    DibImage picture;
    fuzzCheck(picture.Create(5, 3, 24) && picture.Fill(nullptr, Rgb(0x12, 0x34, 0x56)), "a small image can be made");
    if (OpenPicture(path, picture))
        fuzzCheck(!picture.isEmpty() && picture.bitsPerPixel() == 24, "an opened picture is a 24-bit image");
    else
        fuzzCheck(samePicture(picture, before), "a picture that does not open leaves the old one");
    return 0;
}
