#include "Commands.h"

#include "BoardView.h"
#include "Player.h"
#include "Settings.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>

#include <iostream>

namespace {

// The output format from the file's suffix, PNG for a suffix no writer knows.
bool SaveImage(const QImage& image, const std::string& path) {
    const QString name = QString::fromStdString(path);
    const QByteArray suffix = QFileInfo(name).suffix().toLower().toLatin1();
    const bool known = QImageWriter::supportedImageFormats().contains(suffix);
    return image.save(name, known ? suffix.constData() : "PNG");
}

struct TRenderOptions {
    int Set = 3;
    bool Enhanced = false;
    bool Colored = false;
    bool Switched = false;
    bool Smooth = false;
    // Device pixels per view pixel.
    qreal Ratio = 1.0;
    int Size = BoardGeometry::ViewSize;
};

// The largest view render draws; the view itself goes further, but an image of this size is
// already 64 MB.
constexpr int MaxRenderSize = 4096;

// Reads the options after the positional arguments; render-sets takes only --colored and
// --smooth.
TRenderOptions ParseRenderOptions(const TArgs& args, size_t first, bool boardFlags) {
    TRenderOptions options;
    const std::string known = boardFlags
        ? "--set N, --enhanced, --colored, --switched, --smooth, --ratio R, --size N"
        : "--colored, --smooth";
    for (size_t i = first; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--set" && boardFlags) {
            if (i + 1 >= args.size())
                throw EUsageError("option '--set' needs a value");
            options.Set = ParseInt(args[++i], "--set", 1, PieceSetCount);
        } else if (a == "--enhanced" && boardFlags)
            options.Enhanced = true;
        else if (a == "--colored")
            options.Colored = true;
        else if (a == "--switched" && boardFlags)
            options.Switched = true;
        else if (a == "--smooth")
            options.Smooth = true;
        else if (a == "--ratio" && boardFlags) {
            if (i + 1 >= args.size())
                throw EUsageError("option '--ratio' needs a value");
            // A whole ratio: the screenshots of a high-density screen.
            options.Ratio = ParseInt(args[++i], "--ratio", 1, 4);
        } else if (a == "--size" && boardFlags) {
            if (i + 1 >= args.size())
                throw EUsageError("option '--size' needs a value");
            options.Size = ParseInt(args[++i], "--size", BoardGeometry::ViewSize, MaxRenderSize);
        } else
            throw EUsageError("unknown option '" + a + "' (known: " + known + ")");
    }
    return options;
}

bool LoadSet(TPieceImages& pieces, int set, bool colored, bool smooth, TColor background) {
    const TSettings defaults;
    if (pieces.LoadChessSet(
            set, colored ? 1 : 0, defaults.WhiteColor, defaults.BlackColor, background, smooth))
        return true;
    std::cerr << "wintermoot-cli: piece set " << set
              << " is missing from the program's resources\n";
    return false;
}

} // namespace

int RunWithGui(const std::function<int()>& body) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QGuiApplication app(argc, argv);
    return body();
}

int CmdRender(const TArgs& args) {
    if (args.size() < 2 || args[0].rfind("--", 0) == 0 || args[1].rfind("--", 0) == 0)
        throw EUsageError("usage: wintermoot-cli render FEN OUT.png [--set N] [--enhanced] "
                          "[--colored] [--switched] [--smooth] [--ratio R] [--size N]");
    TChessBoard board;
    const TPieceColour side = SetUpFen(board, args[0]);
    const TRenderOptions options = ParseRenderOptions(args, 2, true);
    const std::string out = args[1];

    return RunWithGui([&] {
        TBoardSnapshot snapshot = SnapshotBoard(board, side);
        snapshot.Players[side].Status = PlayerStatus(board, side);
        snapshot.Enhanced = options.Enhanced;
        snapshot.Switched = options.Switched;
        TBoardView view;
        if (!LoadSet(
                view.Pieces, options.Set, options.Colored, options.Smooth, snapshot.Theme.Board))
            return 1;
        QImage image;
        view.DrawBoard(snapshot, image, options.Ratio, options.Size);
        if (!SaveImage(image, out)) {
            std::cerr << "wintermoot-cli render: cannot write '" << out << "'\n";
            return 2;
        }
        return 0;
    });
}

int CmdRenderSets(const TArgs& args) {
    if (args.empty() || args[0].rfind("--", 0) == 0)
        throw EUsageError("usage: wintermoot-cli render-sets OUT.png [--colored] [--smooth]");
    const TRenderOptions options = ParseRenderOptions(args, 1, false);
    const std::string out = args[0];

    return RunWithGui([&] {
        using namespace BoardGeometry;
        const TTheme theme;
        const int labelWidth = 200;
        const int margin = 8;
        const int rowHeight = SquareSize + 6;
        QImage sheet(margin * 2 + labelWidth + 12 * SquareSize,
            margin * 2 + PieceSetCount * rowHeight - 6, QImage::Format_RGB32);
        sheet.fill(ToQRgb(theme.Board));
        TBoardView view;
        const QStringList names = PieceSetNames();
        QPainter painter(&sheet);
        painter.setPen(ToQColor(theme.Text));
        for (int set = 1; set <= PieceSetCount; ++set) {
            if (!LoadSet(view.Pieces, set, options.Colored, options.Smooth, theme.Board))
                return 1;
            const int top = margin + (set - 1) * rowHeight;
            painter.setFont(view.NameFont());
            painter.drawText(QRect(margin, top, labelWidth - 8, SquareSize),
                Qt::AlignVCenter | Qt::AlignLeft,
                QStringLiteral("%1  %2").arg(set).arg(names[set - 1]));
            for (int cell = 0; cell < 12; ++cell) {
                const int x = margin + labelWidth + cell * SquareSize;
                painter.fillRect(x, top, SquareSize, SquareSize,
                    ToQColor((cell + set) % 2 ? theme.Blacks : theme.Whites));
                view.Pieces.DrawPiece(painter, x + 2, top + 2, cell / 6, cell % 6);
            }
        }
        painter.end();
        if (!SaveImage(sheet, out)) {
            std::cerr << "wintermoot-cli render-sets: cannot write '" << out << "'\n";
            return 2;
        }
        return 0;
    });
}
