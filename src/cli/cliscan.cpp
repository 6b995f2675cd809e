#include "cliscan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <map>

#include "base/platform.h"
#include "base/readablebytes.h"
#include "clisupport.h"
#include "serial/scanner.h"

namespace tarvelin::cli {

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

// Each try as a line on standard error; on a terminal a bar of the tries
// done stays under the lines.
class ScanProgress {
public:
    ScanProgress(std::FILE* err, std::size_t total)
        : err_(err), tty_(platform::isTerminal(err)), total_(std::max<std::size_t>(1, total)) {}
    ~ScanProgress() {
        if (tty_) print(err_, QStringLiteral("\r\033[K"));
    }
    void note(const QString& line, std::size_t tries) {
        done_ = std::min(total_, done_ + tries);
        if (!tty_) {
            print(err_, line + QLatin1Char('\n'));
            return;
        }
        const int width = 30;
        const auto filled = static_cast<int>(done_ * width / total_);
        print(err_,
              QStringLiteral("\r\033[K%1\n[%2%3] %4%")
                  .arg(line, QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')))
                  .arg(static_cast<int>(done_ * 100 / total_), 3));
    }

private:
    std::FILE* err_;
    bool tty_;
    std::size_t total_;
    std::size_t done_ = 0;
};

// The controllers found: a line each, or a JSON array of objects.
QByteArray foundText(const std::vector<TryResult>& found, bool json) {
    if (json) {
        QJsonArray list;
        for (const TryResult& r : found) {
            list.append(QJsonObject{
                {"port", text(r.port.name)},
                {"device", text(r.port.device)},
                {"baud", r.baud},
                {"station", r.station},
                {"firmware",
                 QString::fromLatin1(r.firmware.data(), static_cast<qsizetype>(r.firmware.size()))}});
        }
        return QJsonDocument(list).toJson(QJsonDocument::Indented);
    }
    QByteArray result;
    for (const TryResult& r : found) {
        result += QStringLiteral("%1: %2 baud, station %3, firmware %4\n")
                      .arg(text(portLabel(r.port)))
                      .arg(r.baud)
                      .arg(r.station)
                      .arg(r.firmware.empty() ? QStringLiteral("unknown") : text(readableBytes(r.firmware)))
                      .toUtf8();
    }
    return result;
}

}  // namespace

int scan(const ScanRequest& request, const LineFactory& lines, std::FILE* out, std::FILE* err) {
    std::vector<std::string> names;
    if (request.ports.isEmpty()) {
        SystemPortEnumerator system;
        names = defaultScanPortNames(system);
    } else {
        for (const QString& port : request.ports) names.push_back(port.toStdString());
    }
    const std::vector<ScanPort> ports = scanPorts(names);
    std::vector<int> bauds(request.bauds.begin(), request.bauds.end());
    if (bauds.empty()) bauds = defaultScanBauds();

    PortScan scan(ports, bauds, ProbeTimes{request.enqWaitMs, request.replyWaitMs}, lines);
    ScanProgress progress(err, scan.tries());
    std::map<std::string, std::size_t> triesOf;  // by device
    std::vector<TryResult> found;
    scan.run([&](const TryResult& r) {
        // A try that ends its port counts the port's remaining rates as done.
        std::size_t& tried = triesOf[r.port.device];
        const std::size_t counted = r.endsPort() ? bauds.size() - std::min(tried, bauds.size()) : 1;
        tried += counted;
        progress.note(text(describeTry(r)), counted);
        if (r.kind == TryResult::Kind::Found) found.push_back(r);
    });

    // In the order the ports were given, whichever answered first.
    const auto rank = [&](const TryResult& r) {
        return std::find(ports.begin(), ports.end(), r.port) - ports.begin();
    };
    std::sort(found.begin(), found.end(),
              [&](const TryResult& a, const TryResult& b) { return rank(a) < rank(b); });
    print(err, found.empty() ? QStringLiteral("No controller found on %1 port(s) at %2 baud rate(s).\n")
                                   .arg(ports.size())
                                   .arg(bauds.size())
                             : QStringLiteral("%1 controller(s) found.\n").arg(found.size()));

    const QByteArray result = foundText(found, request.json);
    const auto size = static_cast<std::size_t>(result.size());
    if (size && (std::fwrite(result.constData(), 1, size, out) != size || std::fflush(out) != 0))
        return outputFailed(err, errno);
    return found.empty() ? kNoResponse : kSuccess;
}

}  // namespace tarvelin::cli
