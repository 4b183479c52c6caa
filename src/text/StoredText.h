#pragma once

// Text of the program's files and messages is UTF-8; files made with a single-byte code page
// hold Windows-1252 instead, so bytes that are not valid UTF-8 are read in that code page.

#include <QByteArrayView>
#include <QString>

// The text of bytes read from a file or a message. Valid UTF-8 keeps every character, a leading
// byte-order mark included; anything else is decoded as Windows-1252 (the five bytes that code
// page leaves undefined become the control characters of the same number).
QString DecodeStoredText(QByteArrayView bytes);
