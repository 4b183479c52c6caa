#include "LocalPerson.h"

void TLocalPerson::StartTurn(const TChessGame&) { }
