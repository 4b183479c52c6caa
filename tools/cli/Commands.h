#pragma once

#include "CliSupport.h"

#include <functional>

class QString;
#include <vector>

// Each subcommand takes the arguments after its name and returns the exit status.
int CmdLegal(const TArgs& args);
int CmdPerft(const TArgs& args);
int CmdSearch(const TArgs& args);
int CmdBench(const TArgs& args);
int CmdVerify(const TArgs& args);
int CmdSelfplay(const TArgs& args);
int CmdMatch(const TArgs& args);
int CmdRender(const TArgs& args);
int CmdRenderSets(const TArgs& args);
int CmdDrawBench(const TArgs& args);
int CmdDrawRulesBench(const TArgs& args);
int CmdHost(const TArgs& args);
int CmdJoin(const TArgs& args);
int CmdBenchHost(const TArgs& args);
int CmdHistory(const TArgs& args);
int CmdExport(const TArgs& args);
int CmdImport(const TArgs& args);
int CmdBenchPgn(const TArgs& args);
int CmdResumeBench(const TArgs& args);

// The user's history file, as the window finds it (WINTERMOOT_HOME, XDG_DATA_HOME, ~/.local/share).
QString DefaultHistoryFile();
int CmdUci(const TArgs& args);
int CmdBenchEngine(const TArgs& args);
int CmdAgentBench(const TArgs& args);

// The fixed positions of the search benchmarks.
struct TBenchPosition {
    const char* Name;
    const char* Fen;
};
const std::vector<TBenchPosition>& BenchPositions();

// Runs `body` inside a QGuiApplication, on the offscreen platform unless QT_QPA_PLATFORM names
// another, and returns its status. The board view needs one for its fonts.
int RunWithGui(const std::function<int()>& body);
