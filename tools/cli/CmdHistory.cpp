// history and export: the game history without a window. The history is the user's own file in
// the data folder unless a file is named.

#include "Commands.h"
#include "UnitHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <iostream>

namespace {

const char* const HistoryUsage = "usage: wintermoot-cli history [FILE]";
const char* const ExportUsage
    = "usage: wintermoot-cli export [--pgn] [--history FILE] (INDEX | --all) OUT";

std::string Printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = ' ';
    }
    return out;
}

std::string ResultText(uint8_t result) {
    switch (result) {
    case grUnfinished:
        return "Unfinished";
    case grWhiteWon:
        return "White won";
    case grBlackWon:
        return "Black won";
    case grWhiteForfeited:
        return "White forfeited";
    case grBlackForfeited:
        return "Black forfeited";
    case grTied:
        return "Tied";
    default:
        return "Unknown result " + std::to_string(result);
    }
}

enum TLoadStatus { lsLoaded, lsDamaged, lsFailed };

// Loads the history and tells on stderr what went wrong. A damaged file still gives the games
// before the damage.
TLoadStatus LoadHistory(THistory& history, const QString& path, const char* command) {
    const std::string shown = QFile::encodeName(path).toStdString();
    const THistoryLoad status = history.Load(path);
    if (status == hlLoaded)
        return lsLoaded;
    std::cerr << "wintermoot-cli " << command << ": ";
    switch (status) {
    case hlDamaged:
        std::cerr << "history file damaged after game " << history.Count() << ": " << shown << '\n';
        return lsDamaged;
    case hlMissing:
        std::cerr << "no history file at " << shown << '\n';
        break;
    case hlUnreadable:
        std::cerr << "cannot read " << shown << '\n';
        break;
    case hlNotHistory:
        std::cerr << shown << " is not a history file\n";
        break;
    case hlNewerVersion:
        std::cerr << shown << " was written by a newer version of Wintermoot: not a game history "
                  << "this program reads\n";
        break;
    default:
        std::cerr << shown << " is not a game history this program reads\n";
        break;
    }
    return lsFailed;
}

} // namespace

// The history file the program itself uses, found the same way without the window libraries:
// WINTERMOOT_HOME, else XDG_DATA_HOME (when absolute), else ~/.local/share.
QString DefaultHistoryFile() {
    const QString home = qEnvironmentVariable("WINTERMOOT_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(home + QStringLiteral("/history.dat"));
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/Wintermoot/history.dat"));
}

int CmdHistory(const TArgs& args) {
    if (args.size() > 1 || (!args.empty() && args[0].rfind("--", 0) == 0))
        throw EUsageError(HistoryUsage);
    const QString path = args.empty() ? DefaultHistoryFile() : QFile::decodeName(args[0].c_str());
    THistory history;
    const TLoadStatus status = LoadHistory(history, path, "history");
    if (status == lsFailed)
        return 2;
    int position = 1;
    for (const TGameInfo* game = history.First(); game; game = game->Next, ++position) {
        const QDateTime date = DecodeDate(game->Date);
        const std::string when = date.isValid()
            ? date.toString(QStringLiteral("yyyy-MM-dd hh:mm")).toStdString()
            : "\?\?\?\?-\?\?-\?\? \?\?:\?\?";
        std::cout << position << '\t' << when << '\t' << Printable(game->White) << '\t'
                  << Printable(game->Black) << '\t' << ResultText(game->Result) << '\t'
                  << game->Moves.Count() << '\n';
    }
    return status == lsLoaded ? 0 : 2;
}

int CmdExport(const TArgs& args) {
    bool pgn = false;
    bool all = false;
    QString historyPath = DefaultHistoryFile();
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--pgn") {
            pgn = true;
        } else if (arg == "--all") {
            all = true;
        } else if (arg == "--history") {
            if (++i >= args.size())
                throw EUsageError(std::string("--history needs a file\n") + ExportUsage);
            historyPath = QFile::decodeName(args[i].c_str());
        } else if (arg.rfind("--", 0) == 0) {
            throw EUsageError("unknown option " + arg + "\n" + ExportUsage);
        } else {
            operands.push_back(arg);
        }
    }
    if (all && !pgn)
        throw EUsageError(std::string("--all exports PGN only: add --pgn\n") + ExportUsage);
    if (operands.size() != (all ? 1u : 2u))
        throw EUsageError(ExportUsage);
    const int index = all ? 0 : ParseInt(operands[0], "INDEX", 1, 65535);
    const std::string out = operands.back();
    const QString outPath = QFile::decodeName(out.c_str());

    THistory history;
    const TLoadStatus status = LoadHistory(history, historyPath, "export");
    if (status == lsFailed)
        return 2;
    // A damaged file that gave no game has nothing to export: an existing OUT is left as it was.
    if (status == lsDamaged && history.Count() == 0) {
        std::cerr << "wintermoot-cli export: no game could be read; " << out << " not written\n";
        return 2;
    }
    if (!all && index > history.Count()) {
        std::cerr << "wintermoot-cli export: no game " << index << ": the history holds "
                  << history.Count() << (history.Count() == 1 ? " game\n" : " games\n");
        return 2;
    }
    bool written = false;
    if (all)
        written = history.ExportAllPgn(outPath);
    else if (pgn)
        written = history.ExportPgn(uint16_t(index), outPath);
    else
        written = history.ExportGame(uint16_t(index), outPath);
    if (!written) {
        std::cerr << "wintermoot-cli export: cannot write " << out << '\n';
        return 2;
    }
    if (status == lsDamaged) {
        if (all)
            std::cerr << "wintermoot-cli export: wrote the " << history.Count()
                      << (history.Count() == 1 ? " game" : " games") << " before the damage to "
                      << out << '\n';
        else
            std::cerr << "wintermoot-cli export: wrote game " << index << " to " << out << '\n';
        return 2;
    }
    return 0;
}
