#include "replytext.h"

#include "base/readablebytes.h"

namespace tarvelin {

QString readableReply(const std::string& bytes) {
    return QString::fromStdString(readableBytes(bytes));
}

}  // namespace tarvelin
