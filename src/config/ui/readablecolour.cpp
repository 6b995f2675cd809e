#include "readablecolour.h"

#include <QEvent>
#include <QPalette>
#include <QPushButton>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tarvelin::look {

namespace {

constexpr const char* kIntended = "tarvelinIntendedTextColor";

double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * channel(rgb.red()) + 0.7152 * channel(rgb.green()) + 0.0722 * channel(rgb.blue());
}

QColor mix(const QColor& from, const QColor& to, double share) {
    const auto blend = [share](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * share)); };
    const QColor f = from.toRgb();
    const QColor t = to.toRgb();
    return QColor(blend(f.red(), t.red()), blend(f.green(), t.green()), blend(f.blue(), t.blue()));
}

// The variant of the widget's intended colour against its own background.
void applyVariant(QWidget* widget) {
    const QColor wanted = intendedTextColor(widget);
    if (!wanted.isValid()) return;
    const QColor shown = readableOn(wanted, widget->palette().color(QPalette::Window));
    if (widget->palette().color(QPalette::WindowText) == shown) return;
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, shown);
    widget->setPalette(palette);
}

// Puts the variant right again when the palette (the application's, or the
// one the widget inherits) changes.
class PaletteFollower final : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
            applyVariant(static_cast<QWidget*>(watched));
        return false;
    }
};

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDarkBackground(const QColor& background) {
    return contrastRatio(Qt::white, background) > contrastRatio(Qt::black, background);
}

QColor readableOn(const QColor& wanted, const QColor& background) {
    if (!isDarkBackground(background) || contrastRatio(wanted, background) >= kReadableContrast)
        return wanted;
    for (int step = 1; step < 20; ++step) {
        const QColor lighter = mix(wanted, Qt::white, step / 20.0);
        if (contrastRatio(lighter, background) >= kReadableContrast) return lighter;
    }
    return QColor(Qt::white);
}

QColor captionOn(const QColor& face) {
    return isDarkBackground(face) ? QColor(Qt::white) : QColor(Qt::black);
}

void setTextColor(QWidget* widget, const QColor& wanted) {
    if (!intendedTextColor(widget).isValid()) widget->installEventFilter(new PaletteFollower(widget));
    widget->setProperty(kIntended, wanted);
    applyVariant(widget);
}

QColor intendedTextColor(const QWidget* widget) {
    return widget->property(kIntended).value<QColor>();
}

void colourButton(QPushButton* button, const QColor& face) {
    // The focus frame and a disabled caption: a shade of the caption's own
    // (#202020 and #707070 over a light face).
    const int caption = captionOn(face).red();  // 0 or 255
    const auto shade = [caption](int grey) {
        const int v = std::abs(caption - grey);
        return QColor(v, v, v).name();
    };
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: %3;"
                       " border: 1px solid #808080; border-radius: 3px; padding: 4px 8px; }"
                       "QPushButton:focus { border: 2px solid %4; }"
                       "QPushButton:pressed { background-color: %2; }"
                       "QPushButton:disabled { color: %5; }")
            .arg(face.name(), face.darker(115).name(), captionOn(face).name(), shade(0x20), shade(0x70)));
}

}  // namespace tarvelin::look
