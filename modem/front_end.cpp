#include "modem/front_end.h"

#include "common/installed.h"

namespace {
Installed<FrontEnd> installed;
}

FrontEnd& front_end() {
    return installed.get();
}

void install_front_end(FrontEnd* front) {
    installed.install(front);
}
