#include "dialog/dialog_seam.h"

#include "common/installed.h"

namespace {
Installed<DialogSeam> installed;
}

DialogSeam& dialog_seam() {
    return installed.get();
}

void install_dialog_seam(DialogSeam* seam) {
    installed.install(seam);
    install_front_end(seam);
}
