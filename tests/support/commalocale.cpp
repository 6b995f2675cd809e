#include "commalocale.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <clocale>
#include <memory>

namespace tarvelin::test {

namespace {

bool hasDecimalComma(const char* name) {
    if (!std::setlocale(LC_NUMERIC, name)) return false;
    const bool comma = std::localeconv()->decimal_point[0] == ',';
    std::setlocale(LC_NUMERIC, "C");
    return comma;
}

QByteArray findInstalled() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_DE@euro", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (hasDecimalComma(name)) return name;
    return {};
}

QByteArray compileOne() {
    const QString localedef = QStandardPaths::findExecutable(QStringLiteral("localedef"));
    if (localedef.isEmpty()) return {};
    static std::unique_ptr<QTemporaryDir> dir;  // lives as long as the test run
    dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid()) return {};
    QProcess process;
    process.start(localedef, {QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"),
                              QStringLiteral("UTF-8"), dir->filePath(QStringLiteral("de_DE.UTF-8"))});
    if (!process.waitForFinished(60000)) return {};  // warnings give a non-zero exit; the result decides
    qputenv("LOCPATH", QFile::encodeName(dir->path()));
    if (hasDecimalComma("de_DE.UTF-8")) return "de_DE.UTF-8";
    qunsetenv("LOCPATH");
    return {};
}

}  // namespace

QByteArray commaLocale() {
    static const QByteArray name = [] {
        QByteArray found = findInstalled();
        return found.isEmpty() ? compileOne() : found;
    }();
    return name;
}

CommaNumericScope::CommaNumericScope() {
    const QByteArray name = commaLocale();
    active_ = !name.isEmpty() && std::setlocale(LC_NUMERIC, name.constData()) != nullptr;
}

CommaNumericScope::~CommaNumericScope() {
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace tarvelin::test
