// A form without widgets: the controls' values as plain data, with the same
// change rules as the windows run on every change.
#pragma once

#include <QMap>
#include <QSet>
#include <QString>
#include <functional>

#include "form.h"

namespace tarvelin {

class HeadlessForm final : public Form {
public:
    // Called, nested, whenever a text really changes (the window's change rule).
    using Rule = std::function<void(Form&, const QString& control)>;

    QString text(const QString& control) const override { return texts_.value(control); }
    void setText(const QString& control, const QString& text) override;
    int selectedIndex(const QString& control) const override { return indexes_.value(control, -1); }
    void setSelectedIndex(const QString& control, int index) override { indexes_[control] = index; }
    bool isChecked(const QString& control) const override { return checked_.contains(control); }
    void setChecked(const QString& control, bool checked) override;

    // Sets a text without running any rule (the window's initial state).
    void initText(const QString& control, const QString& text) { texts_[control] = text; }
    void setRule(Rule rule) { rule_ = std::move(rule); }

    QStringList textControls() const { return texts_.keys(); }

private:
    QMap<QString, QString> texts_;
    QMap<QString, int> indexes_;
    QSet<QString> checked_;
    Rule rule_;
};

}  // namespace tarvelin
