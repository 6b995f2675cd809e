// Coloured text that stays readable in every palette.
//
// The windows show a few texts and buttons in fixed colours (the blue and red
// message line, the red firmware, the yellow and cyan buttons). On a light
// window those colours are shown exactly as they are; on a dark one a text
// colour that would not stand out against its background is lightened until
// it reads at a contrast of at least 4.5:1, and follows the palette when it
// changes.
#pragma once

#include <QColor>

class QPushButton;
class QWidget;

namespace tarvelin::look {

inline constexpr double kReadableContrast = 4.5;

// The contrast ratio of two colours, 1 (the same) to 21 (black on white),
// from their relative luminance.
double contrastRatio(const QColor& a, const QColor& b);
// A background on which white text reads better than black.
bool isDarkBackground(const QColor& background);
// `wanted` itself on a light background, or when it reads well enough on a
// dark one; otherwise the first mix of it with white that reads at 4.5:1.
QColor readableOn(const QColor& wanted, const QColor& background);
// Black or white, whichever reads better on `face`.
QColor captionOn(const QColor& face);

// Shows the widget's text in `wanted`, or in its readable variant against
// the widget's background, now and after every change of the palette.
void setTextColor(QWidget* widget, const QColor& wanted);
// The colour last given to setTextColor (not its variant); invalid when none was.
QColor intendedTextColor(const QWidget* widget);

// A push button with a coloured face and the caption that reads on it.
void colourButton(QPushButton* button, const QColor& face);

}  // namespace tarvelin::look
