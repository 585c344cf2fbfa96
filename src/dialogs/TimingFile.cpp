// Reading and writing camera timing files through the profile functions, with one load and one save each.
#include "dialogs/TimingFile.h"

#include <QFileInfo>

#include <string>

#include "platform/PrivateProfile.h"

namespace {

struct Key {
    const char* name;
    int32_t CameraTiming::*value;
};

// In the order Save writes them.
constexpr Key kKeys[] = {
    { "TH", &CameraTiming::TH },
    { "TV", &CameraTiming::TV },
    { "EH", &CameraTiming::EH },
    { "EV", &CameraTiming::EV },
    { "EHS", &CameraTiming::EHS },
    { "EVS", &CameraTiming::EVS },
};

void readSection(const ProfileFile& file, const char* section, CameraTiming& timing)
{
    for (const Key& key : kKeys)
        timing.*key.value = file.intValue(section, key.name, timing.*key.value);
}

} // namespace

bool TimingFile::Load(const QString& fileName, CameraTiming& timing)
{
    ProfileFile file;
    if (!file.load(fileName))
        return false;
    // Our own section first, so that a file this dialog saved loads again and the model sections still win.
    readSection(file, kSection, timing);
    for (const char* section : kModelSections)
        readSection(file, section, timing);
    return true;
}

bool TimingFile::Save(const QString& fileName, const CameraTiming& timing)
{
    ProfileFile file;
    // A missing file is made anew; one that exists must load whole, or its content would be lost.
    if (!file.load(fileName) && QFileInfo::exists(fileName))
        return false;
    for (const Key& key : kKeys)
        file.setValue(kSection, key.name, std::to_string(timing.*key.value));
    return file.save(fileName);
}
