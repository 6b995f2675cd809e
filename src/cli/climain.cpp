// tarvelin-cli: see cli.h.
#include <QCoreApplication>
#include <cstdio>

#include "cli.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvelin-cli"));
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return tarvelin::cli::run(arguments, stdout, stderr, stdin);
}
