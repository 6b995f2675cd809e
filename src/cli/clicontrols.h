// tarvelin-cli controls: every name that --set, profiles and plans take,
// with what it holds, as text or as JSON.
#pragma once

#include <cstdio>

namespace tarvelin::cli {

// The exit code.
int controlsCommand(bool json, std::FILE* out);

}  // namespace tarvelin::cli
