#include "screenfit.h"

#include <QEvent>
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

namespace {

constexpr const char* kSettled = "tarvelinSettled";

// Keeps the body's largest size at the window's first size, or at the
// body's minimum when that grows (a longer text arrived), and lets the window
// grow with it as a window whose layout is its own does.
class BodyKeeper final : public QObject {
public:
    BodyKeeper(QWidget* window, QWidget* body) : QObject(body), window_(window), body_(body) {
        body->installEventFilter(this);
        built_ = window->size().expandedTo(body->minimumSizeHint());
        follow();
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest) follow();
        return false;
    }

private:
    void follow() {
        const QSize minimum = body_->minimumSizeHint();
        body_->setMaximumSize(built_.expandedTo(minimum));
        if (minimum == minimum_) return;
        minimum_ = minimum;
        window_->resize(window_->size().expandedTo(minimum));
        if (window_->isVisible()) fitScreen(window_);
    }

    QWidget* window_;
    QWidget* body_;
    QSize built_;
    QSize minimum_;
};

}  // namespace

void settleBody(QWidget* window, QWidget* body) {
    if (body->property(kSettled).toBool()) return;
    body->setProperty(kSettled, true);
    new BodyKeeper(window, body);
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
