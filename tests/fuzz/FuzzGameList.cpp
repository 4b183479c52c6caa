// The answers of the game-list server: the hosted games list, the public address answer, the
// version file the update check reads, and the key lookup under them. The first byte picks the
// reader; the rest is the answer.

#include "FuzzSupport.h"

#include "GameList.h"
#include "Update.h"

#include <QByteArray>
#include <QUrl>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray answer(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    switch (data[0] % 4) {
    case 0:
        for (const QString& game : TGameList::ParseHostedGames(answer)) {
            if (game.isEmpty() || game.contains(QLatin1Char('\n')))
                FuzzFail("a hosted game line is empty or holds a line feed");
        }
        break;
    case 1:
        TGameList::ParsePublicAddress(answer);
        break;
    case 2:
        if (const auto published = ParseVersionFile(answer, QStringLiteral("Wintermoot"))) {
            const QUrl url(published->Url, QUrl::StrictMode);
            if (!published->Url.isEmpty()
                && (!url.isValid()
                    || (url.scheme() != QLatin1String("http")
                        && url.scheme() != QLatin1String("https"))))
                FuzzFail("the version file gives an address that is not http or https");
        }
        break;
    default: {
        // The key and delimiter come from the answer itself, split at its first two NUL bytes.
        const QList<QByteArray> parts = answer.split('\0');
        const QString text = QString::fromUtf8(parts.value(0));
        const QString key = QString::fromUtf8(parts.value(1));
        const QString delimiter = QString::fromUtf8(parts.value(2));
        TGameList::KeyValue(text, key, delimiter);
        break;
    }
    }
    return 0;
}
