// A C locale whose decimal separator is a comma, for tests that make sure
// reading and writing numbers does not depend on the process locale.
#pragma once

#include <QByteArray>

namespace tarvelin::test {

// The name of an installed locale with a decimal comma (de_DE preferred).
// When none is installed and localedef is at hand, one is compiled into a
// temporary directory once per run and LOCPATH is pointed at it. Empty when
// there is no way to get one.
QByteArray commaLocale();

// Sets LC_NUMERIC to the comma locale for its lifetime ("C" afterwards).
class CommaNumericScope {
public:
    CommaNumericScope();
    ~CommaNumericScope();
    CommaNumericScope(const CommaNumericScope&) = delete;
    CommaNumericScope& operator=(const CommaNumericScope&) = delete;
    // False when no such locale could be set; the test should skip.
    bool active() const { return active_; }

private:
    bool active_ = false;
};

}  // namespace tarvelin::test
