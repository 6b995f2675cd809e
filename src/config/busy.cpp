#include "busy.h"

namespace tarvelin {

BusyScope::BusyScope(OperationContext& context) : context_(context) {
    Busy& busy = context_.busy_;
    if (busy.depth_++ == 0) {
        context_.stopRequested_ = false;
        emit busy.changed(true);
    }
}

BusyScope::~BusyScope() {
    Busy& busy = context_.busy_;
    if (--busy.depth_ == 0) emit busy.changed(false);
}

}  // namespace tarvelin
