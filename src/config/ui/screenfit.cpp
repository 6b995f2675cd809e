#include "screenfit.h"

#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace tarvelin::look {

QScrollArea* scrollingBody(QWidget* window, QWidget* body) {
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* area = new QScrollArea(window);
    area->setObjectName(QStringLiteral("scrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    outer->addWidget(area);
    auto* holder = new QWidget(area);
    auto* middle = new QVBoxLayout(holder);
    middle->setContentsMargins(0, 0, 0, 0);
    // Expanding up to its maximum, then centred: the margins take the rest.
    body->setParent(holder);
    body->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    middle->addWidget(body, 0, Qt::AlignHCenter | Qt::AlignTop);
    area->setWidget(holder);
    return area;
}

void settleBody(QWidget* window, QWidget* body) {
    // As a window whose layout is its own: never smaller than its contents' minimum.
    const QSize natural = body->minimumSizeHint();
    body->setMaximumSize(window->size().expandedTo(natural));
    window->resize(window->size().expandedTo(natural));
}

QSize fittedSize(QSize wanted, QSize frame, const QRect& available) {
    const QSize room = (available.size() - frame).expandedTo(QSize(1, 1));
    return wanted.boundedTo(room);
}

void fitScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) return;
    const QRect available = screen->availableGeometry();
    const QSize frame = window->frameGeometry().size() - window->size();
    const QSize fitted = fittedSize(window->size(), frame, available);
    if (fitted != window->size()) window->resize(fitted);
    const QRect outside = window->frameGeometry();
    const int x = std::clamp(outside.x(), available.left(),
                             std::max(available.left(), available.right() - outside.width()));
    const int y = std::clamp(outside.y(), available.top(),
                             std::max(available.top(), available.bottom() - outside.height()));
    if (x != outside.x() || y != outside.y()) window->move(x, y);
}

}  // namespace tarvelin::look
