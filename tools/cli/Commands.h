#pragma once

#include "CliSupport.h"

// Each subcommand takes the arguments after its name and returns the exit status.
int CmdLegal(const TArgs& args);
int CmdPerft(const TArgs& args);
int CmdSearch(const TArgs& args);
int CmdBench(const TArgs& args);
int CmdVerify(const TArgs& args);
int CmdSelfplay(const TArgs& args);
