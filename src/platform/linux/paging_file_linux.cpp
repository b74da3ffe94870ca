// Linux has no paging-file policy: swap is not wiped at shutdown by a switch the program could
// set, so the option has nothing to show.
#include "platform/paging_file.h"

namespace nd::platform {

PagingFilePolicy* SystemPagingFilePolicy() { return nullptr; }

}  // namespace nd::platform
