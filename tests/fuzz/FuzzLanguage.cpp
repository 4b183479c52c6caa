// Language files. A file that loads must save and load back to the same pack; the header reader
// must agree with the full reader on every file the full reader takes.

#include "FuzzSupport.h"

#include "LanguagePack.h"

#include <string>

namespace {

bool SamePack(const TLangPack& a, const TLangPack& b) {
    if (a.LanguageName != b.LanguageName || a.HeaderWord != b.HeaderWord
        || a.Sections().size() != b.Sections().size())
        return false;
    for (size_t s = 0; s < a.Sections().size(); ++s) {
        const TLangSect& x = a.Sections()[s];
        const TLangSect& y = b.Sections()[s];
        if (x.Name != y.Name || x.Texts.size() != y.Texts.size())
            return false;
        for (size_t t = 0; t < x.Texts.size(); ++t) {
            if (x.Texts[t].Key != y.Texts[t].Key || x.Texts[t].Text != y.Texts[t].Text)
                return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = ScratchPath("input.lang").toStdString();
    WriteScratch(QString::fromStdString(path), data, size);
    TLangPack header;
    const bool headerRead = header.ReadHeader(path);
    TLangPack pack;
    if (!pack.LoadFromFile(path)) {
        if (!pack.Sections().empty() || !pack.LanguageName.empty())
            FuzzFail("a refused language file leaves a pack that is not empty");
        return 0;
    }
    if (!headerRead || header.LanguageName != pack.LanguageName
        || header.HeaderWord != pack.HeaderWord)
        FuzzFail("the header reader disagrees with the full reader");

    const std::string saved = ScratchPath("saved.lang").toStdString();
    if (!pack.SaveToFile(saved))
        FuzzFail("a loaded language file could not be saved");
    TLangPack reloaded;
    if (!reloaded.LoadFromFile(saved))
        FuzzFail("a saved language file does not load");
    if (!SamePack(pack, reloaded))
        FuzzFail("a saved language file loads as another pack");
    return 0;
}
