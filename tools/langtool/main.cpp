// wintermoot-langtool: compiles a readable language source into a language file and back.
//
// A source is UTF-8 text. Before the first section, "language=NAME" gives the language's name
// and "word=N" the header word (0 to 65535). "[NAME]" opens a section and "KEY=TEXT" adds a pair
// to it; the key ends at the first "=" and the text runs to the end of the line, spaces kept.
// Lines starting with "#" and empty lines are skipped. In names, keys and texts "\\", "\n",
// "\r", "\t", "\=", "\#" and "\[" stand for a backslash, a line feed, a carriage return, a tab,
// "=", "#" and "[". Decompiling writes the same form, so a file survives the round trip byte for
// byte. Errors name the line and end the program with status 2.

#include "LanguagePack.h"

#include <QStringDecoder>

#include <charconv>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>

namespace {

constexpr int ExitError = 2;
constexpr size_t MaxSourceSize = 4 * 1024 * 1024;

struct TSourceError {
    size_t Line;
    std::string What;
};

// Undoes the escapes of a name, key or text; an unknown escape or a lone backslash at the end is
// an error.
std::string Unescape(std::string_view text, size_t line) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            throw TSourceError { line, "a backslash ends the line" };
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case '=':
        case '#':
        case '[':
            out += text[i];
            break;
        default:
            throw TSourceError { line, std::string("unknown escape \\") + text[i] };
        }
    }
    return out;
}

// Escapes what the source form cannot hold as it is. A "=" is escaped only in keys and names, a
// leading "#" or "[" only where a line would start with it.
std::string Escape(std::string_view text, bool isKey, bool startsLine) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '=':
            out += isKey ? "\\=" : "=";
            break;
        case '#':
        case '[':
            if (i == 0 && startsLine)
                out += '\\';
            out += c;
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The position of the first "=" that is not escaped, or npos.
size_t FindSeparator(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\')
            ++i;
        else if (line[i] == '=')
            return i;
    }
    return std::string_view::npos;
}

TLangPack ParseSource(const std::string& data) {
    TLangPack pack;
    std::set<std::string> sections;
    std::set<std::string> keys;
    bool inSection = false;
    bool haveLanguage = false;
    bool haveWord = false;
    std::string_view rest(data);
    if (rest.substr(0, 3) == "\xEF\xBB\xBF")
        rest.remove_prefix(3);
    size_t lineNumber = 0;
    while (!rest.empty()) {
        ++lineNumber;
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        [[maybe_unused]] const QString decoded = utf8(line);
        if (utf8.hasError())
            throw TSourceError { lineNumber, "the line is not UTF-8 text" };
        if (line.empty() || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']' || line.size() < 2)
                throw TSourceError { lineNumber, "a section line must end with ]" };
            const std::string name = Unescape(line.substr(1, line.size() - 2), lineNumber);
            if (!sections.insert(name).second)
                std::cerr << "line " << lineNumber << ": warning: section [" << name
                          << "] appears again; lookups find only the first\n";
            pack.AddSection(name);
            keys.clear();
            inSection = true;
            continue;
        }
        const size_t separator = FindSeparator(line);
        if (separator == std::string_view::npos)
            throw TSourceError { lineNumber, "expected KEY=TEXT, [SECTION] or a # comment" };
        const std::string key = Unescape(line.substr(0, separator), lineNumber);
        const std::string text = Unescape(line.substr(separator + 1), lineNumber);
        if (inSection) {
            if (!keys.insert(key).second)
                std::cerr << "line " << lineNumber << ": warning: key " << key
                          << " appears again in its section; lookups find only the first\n";
            if (pack.Sections().back().Texts.size() >= UINT16_MAX)
                throw TSourceError { lineNumber, "too many keys in one section" };
            pack.AddText(pack.Sections().back().Name, key, text);
        } else if (key == "language" && !haveLanguage) {
            pack.LanguageName = text;
            haveLanguage = true;
        } else if (key == "word" && !haveWord) {
            unsigned value = 0;
            const auto [stop, error]
                = std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || error != std::errc() || stop != text.data() + text.size()
                || value > UINT16_MAX)
                throw TSourceError { lineNumber, "word must be a number from 0 to 65535" };
            pack.HeaderWord = static_cast<int32_t>(value);
            haveWord = true;
        } else {
            throw TSourceError { lineNumber,
                "before the first section only language= and word= may be given, once each" };
        }
    }
    if (pack.Sections().size() > UINT16_MAX)
        throw TSourceError { lineNumber, "too many sections" };
    return pack;
}

std::string WriteSource(const TLangPack& pack) {
    std::ostringstream out;
    out << "# Wintermoot language file\n";
    out << "language=" << Escape(pack.LanguageName, false, false) << '\n';
    out << "word=" << pack.HeaderWord << '\n';
    for (const TLangSect& section : pack.Sections()) {
        out << "\n[" << Escape(section.Name, false, false) << "]\n";
        for (const TLangText& pair : section.Texts)
            out << Escape(pair.Key, true, true) << '=' << Escape(pair.Text, false, false) << '\n';
    }
    return out.str();
}

int Compile(const std::string& source, const std::string& target) {
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::cerr << source << ": cannot be opened\n";
        return ExitError;
    }
    std::string data;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        data.append(buffer, static_cast<size_t>(in.gcount()));
        if (data.size() > MaxSourceSize) {
            std::cerr << source << ": too large for a language source\n";
            return ExitError;
        }
    }
    try {
        const TLangPack pack = ParseSource(data);
        if (!pack.SaveToFile(target)) {
            std::cerr << target << ": cannot be written\n";
            return ExitError;
        }
    } catch (const TSourceError& error) {
        std::cerr << source << ":" << error.Line << ": " << error.What << '\n';
        return ExitError;
    }
    return 0;
}

int Decompile(const std::string& source, const std::string& target) {
    TLangPack pack;
    if (!pack.LoadFromFile(source)) {
        std::cerr << source << ": not a readable language file\n";
        return ExitError;
    }
    const std::string text = WriteSource(pack);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    if (!out) {
        std::cerr << target << ": cannot be written\n";
        return ExitError;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (argc == 4 && command == "compile")
        return Compile(argv[2], argv[3]);
    if (argc == 4 && command == "decompile")
        return Decompile(argv[2], argv[3]);
    std::cerr << "usage: wintermoot-langtool compile SOURCE.txt OUT.lang\n"
                 "       wintermoot-langtool decompile IN.lang OUT.txt\n";
    return ExitError;
}
