// tarvelin-cli scan: which port, which baud rate, which station.
#pragma once

#include <QStringList>
#include <cstdio>

#include "serial/linefactory.h"

namespace tarvelin::cli {

struct ScanRequest {
    QStringList ports;      // empty: COM1 to COM6 and the system's ports
    QList<int> bauds;       // empty: the terminal's baud rates, 9600 first
    int enqWaitMs = 0;      // 0: two characters at the baud rate plus the turnaround
    int replyWaitMs = 500;  // the replies to "IR*" and "VM*"
    bool json = false;
};

// Prints one line (or one JSON object) per controller found on `out`, each
// try on `err` (under a progress bar when it is a terminal); the ports are
// opened through `lines`. The exit code: 0 when a controller was found, 4
// when none was, 1 when `out` failed.
int scan(const ScanRequest& request, const LineFactory& lines, std::FILE* out, std::FILE* err);

}  // namespace tarvelin::cli
