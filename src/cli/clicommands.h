// The commands of tarvelin-cli that work on one controller through the
// session's line, each with the options it takes. Each returns its exit code.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "clisession.h"

namespace tarvelin::cli {

// identify: the station ID and the firmware version.
int identifyCommand(Session& session);

struct RetrieveOptions {
    QString what;  // basic, advanced or all
    bool json = false;
    QString output;  // -o FILE, or empty for standard output
};
int retrieveCommand(Session& session, const RetrieveOptions& options);

struct StoreOptions {
    QString what;  // basic or advanced
    QString profile;
    QStringList sets;  // NAME=VALUE
    bool reboot = false;
    bool verify = false;
    bool yes = false;
};
int storeCommand(Session& session, const StoreOptions& options);

struct SendOptions {
    QString text;
    std::optional<int> frame;  // the station to frame it for
};
int sendCommand(Session& session, const SendOptions& options);

}  // namespace tarvelin::cli
