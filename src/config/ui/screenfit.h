// Windows that fit the screen and keep their arrangement.
//
// A window's contents (its "body") sit in a scroll area that fills the
// window: when the screen is smaller than the window (a high scale factor, a
// small laptop), the contents scroll instead of being cut off; when the window
// is made larger than its contents, the contents keep their size and
// arrangement and the extra space goes to the margins around them.
#pragma once

#include <QRect>
#include <QSize>

class QScrollArea;
class QWidget;

namespace tarvelin::look {

// Makes `body` the scrolled contents of `window`, centred, at the top.
QScrollArea* scrollingBody(QWidget* window, QWidget* body);
// At the window's first show (its controls polished, so their sizes known):
// the body grows no larger than the window's size then (or its own minimum,
// when larger), and the window is at least as large as the body's minimum.
void settleBody(QWidget* window, QWidget* body);
// `wanted` (the window's size), with `frame` around it (the window system's
// frame), cut to what `available` holds.
QSize fittedSize(QSize wanted, QSize frame, const QRect& available);
// Cuts the window to the available part of its screen, and moves it there.
void fitScreen(QWidget* window);

}  // namespace tarvelin::look
