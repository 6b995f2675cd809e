// tarvelin-cli compare: a profile against what a controller holds.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <functional>

#include "serial/lineterminal.h"

namespace tarvelin::cli {

// Compares the blocks `what` names (basic, advanced, or all the profile
// holds) on the terminal's line with the profile, and hands the differences
// (text, or JSON with `json`) to `writeResult`. 0 when nothing differs, 8
// when something does.
int compareCommand(LineTerminal& terminal, const QString& what, const QString& profile, bool json,
                   const std::function<int(const QByteArray&)>& writeResult, std::FILE* err);

}  // namespace tarvelin::cli
