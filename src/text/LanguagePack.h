#pragma once

// A language file: named sections of key/text pairs that translate the windows, the display
// texts and the messages. Integers are little-endian; a text item is an i32 byte count and the
// bytes. A file opens with the text item "LanguageFile" and the version (u16, 200 only), then
// the language name, a header word (u16), the section count (u16) and the sections: a name, a
// pair count (u16) and that many key/text items. A file without the opening text starts directly
// with the language name.
//
// Bad input is refused whole: the file is read into memory (at most MaxFileSize bytes), every
// length is checked against the bytes that are left before anything is taken, and a negative
// length, a count beyond the data or a file that ends early makes the load fail with an empty
// pack. Text bytes that are not UTF-8 are read as Windows-1252.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TLangText {
    std::string Key;
    std::string Text;
};

struct TLangSect {
    std::string Name;
    std::vector<TLangText> Texts;
};

class TLangPack {
public:
    static constexpr const char* Magic = "LanguageFile";
    static constexpr uint16_t FileVersion = 200, MinFileVersion = 200;
    // Real language files hold a few dozen kilobytes; anything larger is not one.
    static constexpr size_t MaxFileSize = 4 * 1024 * 1024;

    std::string LanguageName;
    // The u16 of the header; kept but not used by the program.
    int32_t HeaderWord = 0;

    void Clear();
    // Reads a whole file. On failure the pack is left empty.
    bool LoadFromFile(const std::string& fileName);
    // Reads only the language name and the header word; on failure both keep their values.
    bool ReadHeader(const std::string& fileName);
    // The first section of that exact name; none for an empty name.
    const TLangSect* FindSection(const std::string& name) const;
    // The first pair of that section with that exact key; none for an empty key.
    const TLangText* FindText(const std::string& section, const std::string& key) const;
    const std::vector<TLangSect>& Sections() const { return m_Sections; }

    // Writes the pack with the opening text and version 200, through WriteFileAtomically. Fails,
    // leaving any existing file as it was, when it cannot be written, a count does not fit its
    // u16 or the name's bytes are not UTF-8 (they could not be kept exactly).
    bool SaveToFile(const std::string& fileName) const;
    // Appends a pair to the last section of that name, appending the section when missing.
    void AddText(const std::string& section, const std::string& key, const std::string& text);
    // Appends a new section, even when one of that name exists, so that any file can be rebuilt.
    void AddSection(const std::string& name);

private:
    std::vector<TLangSect> m_Sections;
};
