// The timing-file loader on arbitrary bytes (it only takes a path, so the bytes go to a scratch file). What
// loads is saved back into the same file and loaded again: the same six values.
#include "dialogs/TimingFile.h"
#include "FuzzSupport.h"
#include "platform/PrivateProfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = scratchFile("timing.ini", data, size);
    CameraTiming loaded;
    if (!TimingFile::Load(path, loaded)) {
        fuzzCheck(qint64(size) > ProfileFile::kMaxFileBytes, "a regular file within the size limit loads");
        return 0;
    }
    fuzzCheck(TimingFile::Save(path, loaded), "a loaded file saves");
    CameraTiming again;
    fuzzCheck(TimingFile::Load(path, again), "a saved file loads");
    fuzzCheck(again == loaded, "a saved file loads the values that were saved");
    return 0;
}
