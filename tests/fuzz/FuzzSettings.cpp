// The settings file, read through QSettings' INI format. Whatever it holds, the settings read
// must save and load back unchanged, into a new file and over the file itself.

#include "FuzzSupport.h"

#include "Settings.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // QSettings keeps what it parsed by file name, so every input gets a name of its own.
    const QString path = ScratchPath("Wintermoot.ini", true);
    WriteScratch(path, data, size);
    const TSettings settings = LoadSettings(path);

    const QString saved = ScratchPath("Saved.ini", true);
    if (!SaveSettings(settings, saved))
        FuzzFail("the settings could not be saved to a new file");
    if (!(LoadSettings(saved) == settings))
        FuzzFail("settings saved to a new file read back as other settings");
    QFile::remove(saved);

    if (!SaveSettings(settings, path))
        FuzzFail("the settings could not be saved over their own file");
    if (!(LoadSettings(path) == settings))
        FuzzFail("settings saved over their own file read back as other settings");
    QFile::remove(path);
    return 0;
}
