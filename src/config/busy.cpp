#include "busy.h"

namespace tarvelin {

Busy& Busy::instance() {
    static Busy busy;
    return busy;
}

void Busy::enter() {
    if (depth_++ == 0) {
        abort_ = false;
        emit changed(true);
    }
}

void Busy::leave() {
    if (--depth_ == 0) emit changed(false);
}

}  // namespace tarvelin
