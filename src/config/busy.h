// One operation at a time.
//
// A retrieve or store lets window events through at its progress marks; while
// it runs, nothing may start a second exchange. Everything that could (the
// retrieve, save and factory-default buttons, the confirmation's Yes, the
// terminal's command line and port buttons) follows `changed`.
#pragma once

#include <QObject>

namespace tarvelin {

class Busy : public QObject {
    Q_OBJECT
public:
    static Busy& instance();
    bool active() const { return depth_ > 0; }

    // Asks the running operation to stop at its next chance (the program is
    // quitting).
    void requestAbort() { abort_ = true; }
    bool abortRequested() const { return abort_; }

signals:
    void changed(bool busy);

private:
    friend class BusyScope;
    void enter();
    void leave();
    int depth_ = 0;
    bool abort_ = false;
};

// Marks an operation as running for its lifetime.
class BusyScope {
public:
    BusyScope() { Busy::instance().enter(); }
    ~BusyScope() { Busy::instance().leave(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

}  // namespace tarvelin
