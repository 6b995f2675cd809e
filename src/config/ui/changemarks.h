// What a configuration window read, and which of its boxes changed since.
//
// The window keeps the values of its last good retrieve (or of the profile it
// loaded before any retrieve, or of its last good store). A control whose
// value differs from them gets a mark in its top right corner (a dog-ear, so
// that it does not rest on colour alone) and ", changed" at the end of its
// accessible name; its accessible description stays the control name. A box
// whose value a store refuses is framed until its value changes.
#pragma once

#include <QObject>
#include <QPointer>
#include <vector>

#include "config/snapshot.h"

class QWidget;

namespace tarvelin {

class WidgetForm;

inline constexpr const char* kChangedSuffix = ", changed";

class ChangeMarks : public QObject {
    Q_OBJECT
public:
    ChangeMarks(WidgetForm& form, const MemoryMap& map, QObject* parent);

    // Keeps the block's values of `values` as those read; `fromController`
    // when a controller gave them (a retrieve or a store).
    void keep(const Form& values, bool fromController);
    bool kept() const { return kept_; }
    bool fromController() const { return fromController_; }
    // Puts the kept values back into the window, through its rules.
    void revert();
    // The differences between the kept values and the window's.
    std::vector<Change> changes() const;
    // Frames the box of `control` and gives it the focus.
    void markRefused(const QString& control);
    QString refused() const { return refused_; }

public slots:
    // Brings every mark up to date with the window's values.
    void refresh();

signals:
    // The marks changed, or what they are measured against did.
    void changed();

private:
    void watch();
    void mark(QWidget* widget, bool changed);

    WidgetForm& form_;
    const MemoryMap& map_;
    HeadlessForm read_;
    bool kept_ = false;
    bool fromController_ = false;
    QString refused_;
    QStringList markedBefore_;
};

}  // namespace tarvelin
