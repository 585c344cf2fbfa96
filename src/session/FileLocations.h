// Where the settings file and the default save folder live. A program whose folder can be written (the build
// tree, a portable copy) keeps both beside itself; one installed where the user cannot write keeps them in the
// user's folders: $XDG_CONFIG_HOME/nxviewer/NxQb740Le.ini and $XDG_PICTURES_DIR/nxviewer.
#pragma once

#include <QString>

struct FileLocations {
    // The settings file the program writes.
    QString settingsPath;
    // Read instead while settingsPath does not exist yet: a settings file beside a read-only program (an
    // administrator's prepared file, calibrations and all); empty when there is none.
    QString seedPath;
    // The save folder used when the settings name none.
    QString defaultSaveFolder;

    // Both in folder, as a test or a portable copy has them.
    static FileLocations Beside(const QString& folder);
    // For the program in programFolder: Beside it when that folder is writable (and is not the folder the
    // program is installed to), else the user's folders
    // (QStandardPaths' GenericConfigLocation and PicturesLocation, each with the program's name, so the
    // folder does not depend on the application or organisation name that Qt would add).
    static FileLocations ForProgram(const QString& programFolder);

    // The file the settings are read from now: settingsPath once it exists, else the seed when there is one.
    QString readPath() const;
};
