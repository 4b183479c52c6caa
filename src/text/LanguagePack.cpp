#include "LanguagePack.h"

#include "AtomicFile.h"
#include "RegularFile.h"
#include "StoredText.h"

#include <QFile>

#include <fstream>
#include <optional>
#include <string_view>

namespace {

// Reads the whole file, or nothing when it is missing, unreadable or larger than the limit.
std::optional<std::string> ReadWholeFile(const std::string& fileName) {
    if (!IsRegularFile(fileName))
        return std::nullopt;
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto got = static_cast<size_t>(in.gcount());
        if (data.size() + got > TLangPack::MaxFileSize)
            return std::nullopt;
        data.append(buffer, got);
    }
    if (in.bad())
        return std::nullopt;
    return data;
}

// A cursor over the bytes of a file. Every read checks the bytes left first; after a failed
// read the cursor stays failed.
class TReader {
public:
    explicit TReader(std::string_view data)
        : m_Data(data) { }

    bool Ok() const { return m_Ok; }
    void Rewind() {
        m_Pos = 0;
        m_Ok = true;
    }

    uint16_t U16() {
        if (!Need(2))
            return 0;
        const auto b0 = static_cast<uint8_t>(m_Data[m_Pos]);
        const auto b1 = static_cast<uint8_t>(m_Data[m_Pos + 1]);
        m_Pos += 2;
        return static_cast<uint16_t>(b0 | (b1 << 8));
    }

    // The raw bytes of a text item.
    std::string_view Bytes() {
        if (!Need(4))
            return {};
        uint32_t raw = 0;
        for (int i = 3; i >= 0; --i)
            raw = (raw << 8) | static_cast<uint8_t>(m_Data[m_Pos + i]);
        m_Pos += 4;
        const auto length = static_cast<int32_t>(raw);
        if (length < 0 || !Need(static_cast<size_t>(length)))
            return Fail();
        const std::string_view bytes = m_Data.substr(m_Pos, static_cast<size_t>(length));
        m_Pos += static_cast<size_t>(length);
        return bytes;
    }

    std::string Text() { return DecodeStoredText(Bytes()).toStdString(); }

private:
    bool Need(size_t count) {
        if (m_Ok && m_Data.size() - m_Pos >= count)
            return true;
        m_Ok = false;
        return false;
    }
    std::string_view Fail() {
        m_Ok = false;
        return {};
    }

    std::string_view m_Data;
    size_t m_Pos = 0;
    bool m_Ok = true;
};

// Reads the opening text and version when present, leaving the reader at the language name.
bool ReadPrologue(TReader& reader) {
    const std::string_view first = reader.Bytes();
    if (reader.Ok() && first == TLangPack::Magic) {
        const uint16_t version = reader.U16();
        return reader.Ok() && version >= TLangPack::MinFileVersion
            && version <= TLangPack::FileVersion;
    }
    reader.Rewind();
    return true;
}

void PutU16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

bool PutText(std::string& out, const std::string& text) {
    if (text.size() > static_cast<size_t>(INT32_MAX))
        return false;
    const auto length = static_cast<uint32_t>(text.size());
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((length >> (8 * i)) & 0xFF);
    out += text;
    return true;
}

} // namespace

void TLangPack::Clear() {
    LanguageName.clear();
    HeaderWord = 0;
    m_Sections.clear();
}

bool TLangPack::LoadFromFile(const std::string& fileName) {
    Clear();
    const std::optional<std::string> data = ReadWholeFile(fileName);
    if (!data)
        return false;
    TReader reader(*data);
    if (!ReadPrologue(reader))
        return false;
    std::string name = reader.Text();
    const uint16_t word = reader.U16();
    const uint16_t sectionCount = reader.U16();
    // Nothing is reserved from a count: the vectors grow only with what the data really holds.
    std::vector<TLangSect> sections;
    for (uint16_t s = 0; s < sectionCount && reader.Ok(); ++s) {
        TLangSect section;
        section.Name = reader.Text();
        const uint16_t textCount = reader.U16();
        for (uint16_t t = 0; t < textCount && reader.Ok(); ++t) {
            TLangText pair;
            pair.Key = reader.Text();
            pair.Text = reader.Text();
            section.Texts.push_back(std::move(pair));
        }
        sections.push_back(std::move(section));
    }
    if (!reader.Ok())
        return false;
    LanguageName = std::move(name);
    HeaderWord = word;
    m_Sections = std::move(sections);
    return true;
}

bool TLangPack::ReadHeader(const std::string& fileName) {
    const std::optional<std::string> data = ReadWholeFile(fileName);
    if (!data)
        return false;
    TReader reader(*data);
    if (!ReadPrologue(reader))
        return false;
    std::string name = reader.Text();
    const uint16_t word = reader.U16();
    if (!reader.Ok())
        return false;
    LanguageName = std::move(name);
    HeaderWord = word;
    return true;
}

const TLangSect* TLangPack::FindSection(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (const TLangSect& section : m_Sections)
        if (section.Name == name)
            return &section;
    return nullptr;
}

const TLangText* TLangPack::FindText(const std::string& section, const std::string& key) const {
    if (key.empty())
        return nullptr;
    const TLangSect* found = FindSection(section);
    if (!found)
        return nullptr;
    for (const TLangText& pair : found->Texts)
        if (pair.Key == key)
            return &pair;
    return nullptr;
}

bool TLangPack::SaveToFile(const std::string& fileName) const {
    if (m_Sections.size() > UINT16_MAX)
        return false;
    std::string out;
    bool ok = PutText(out, Magic);
    PutU16(out, FileVersion);
    ok = ok && PutText(out, LanguageName);
    PutU16(out, static_cast<uint16_t>(HeaderWord));
    PutU16(out, static_cast<uint16_t>(m_Sections.size()));
    for (const TLangSect& section : m_Sections) {
        if (section.Texts.size() > UINT16_MAX)
            return false;
        ok = ok && PutText(out, section.Name);
        PutU16(out, static_cast<uint16_t>(section.Texts.size()));
        for (const TLangText& pair : section.Texts)
            ok = ok && PutText(out, pair.Key) && PutText(out, pair.Text);
    }
    if (!ok)
        return false;

    // A name whose bytes do not survive the round trip through a QString (not UTF-8) is refused,
    // so that nothing is written under another name.
    const QByteArray encoded = QByteArray::fromStdString(fileName);
    const QString name = QFile::decodeName(encoded);
    if (QFile::encodeName(name) != encoded)
        return false;
    return WriteFileAtomically(name, out);
}

void TLangPack::AddText(
    const std::string& section, const std::string& key, const std::string& text) {
    for (auto it = m_Sections.rbegin(); it != m_Sections.rend(); ++it) {
        if (it->Name == section) {
            it->Texts.push_back({ key, text });
            return;
        }
    }
    m_Sections.push_back({ section, { { key, text } } });
}

void TLangPack::AddSection(const std::string& name) {
    m_Sections.push_back({ name, {} });
}
