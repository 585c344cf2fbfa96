// Camera timing files: small INI files with the sensor's total size and capture window. Save writes them
// under the viewer's own section; Load also reads the sections of the camera models' files, so a file made
// for any of those models loads as well.
#pragma once

#include <QString>

#include <cstdint>

// The six values a timing file holds, named after its keys.
struct CameraTiming {
    int32_t TH = 0, TV = 0, EH = 0, EV = 0, EHS = 0, EVS = 0;
    bool operator==(const CameraTiming&) const = default;
};

class TimingFile {
public:
    // The section Save writes.
    static constexpr const char* kSection = "NX-QB740LE";
    // The model sections Load reads after kSection, in this order: a key found later wins.
    static constexpr const char* kModelSections[10] = { "NX-BOYZK", "NX-BOYZE", "NX-LDHZK", "NX-LDHZE", "NX-GTK",
        "NX-GTE", "NX-WPJK", "NX-WPJA", "NX-LDHNZK", "NX-LDHNZE" };

    // Reads the six keys from kSection and then the model sections, each key found overriding what timing
    // held. A file that cannot be read (missing, oversized, no regular file) leaves timing as it was and
    // gives false.
    static bool Load(const QString& fileName, CameraTiming& timing);
    // Sets the six keys of kSection ("%d") and replaces the file atomically, keeping every other line of it.
    // Refused (false, nothing written) when an existing file cannot be read back whole: an oversized one, or
    // a directory, pipe or device.
    static bool Save(const QString& fileName, const CameraTiming& timing);
};
