#include "StoredText.h"

#include <QStringDecoder>

QString DecodeStoredText(QByteArrayView bytes) {
    // A decoder of its own per call: decoders keep state, and a leading byte-order mark is kept
    // as a character so that the text round-trips byte for byte.
    constexpr auto flags
        = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    QStringDecoder utf8(QStringConverter::Utf8, flags);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder singleByte("windows-1252", flags);
    return singleByte(bytes);
}
