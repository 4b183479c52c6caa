// The themes file, read through QSettings' INI format. A file that loads must save and load back
// to the same themes; saving over the file itself, as the options dialog does, must keep them too.

#include "FuzzSupport.h"

#include "UnitThemes.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // QSettings keeps what it parsed by file name, so every input gets a name of its own.
    const QString path = ScratchPath("Themes.ini", true);
    WriteScratch(path, data, size);
    TThemeList list;
    const bool loaded = list.LoadThemes(path);
    if (loaded) {
        const QString saved = ScratchPath("Saved.ini", true);
        TThemeList reloaded;
        if (!list.SaveThemes(saved) || !reloaded.LoadThemes(saved))
            FuzzFail("loaded themes could not be saved and read back");
        if (reloaded.Themes != list.Themes)
            FuzzFail("saved themes read back as other themes");
        QFile::remove(saved);

        TThemeList over;
        if (!list.SaveThemes(path) || !over.LoadThemes(path))
            FuzzFail("themes saved over their own file could not be read back");
        if (over.Themes != list.Themes)
            FuzzFail("themes saved over their own file read back as other themes");
    }
    QFile::remove(path);
    return 0;
}
