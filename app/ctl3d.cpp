// The 3-D controls library gives dialogs their chiselled look on systems
// older than version 4; newer systems draw it themselves, so nothing is
// loaded there.
#include "app/app_values.h"

namespace {
using Ctl3dCall = BOOL(WINAPI*)(HANDLE);

// Exports of the library, by ordinal.
constexpr WORD CTL3D_REGISTER = 12;
constexpr WORD CTL3D_UNREGISTER = 13;
constexpr WORD CTL3D_AUTO_SUBCLASS = 16;

bool loaded(const AppShell& shell) {
    return reinterpret_cast<UINT_PTR>(shell.ctl3d_module) > 32;
}

Ctl3dCall export_by_ordinal(const AppShell& shell, WORD ordinal) {
    FARPROC address = GetProcAddress(shell.ctl3d_module, MAKEINTRESOURCEA(ordinal));
    return reinterpret_cast<Ctl3dCall>(reinterpret_cast<void*>(address));
}
} // namespace

void load_3d_controls(AppShell& shell) {
    if (LOBYTE(LOWORD(GetVersion())) >= 4) {
        return;
    }
    // A missing library must not raise the system's "file not found" box.
    UINT previous_mode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    shell.ctl3d_module = LoadLibraryA("CTL3DV2.DLL");
    SetErrorMode(previous_mode & 0xFFFF);
    if (!loaded(shell)) {
        return;
    }
    Ctl3dCall register_call = export_by_ordinal(shell, CTL3D_REGISTER);
    Ctl3dCall auto_subclass = export_by_ordinal(shell, CTL3D_AUTO_SUBCLASS);
    if (register_call != nullptr && auto_subclass != nullptr) {
        register_call(shell.instance);
        auto_subclass(shell.instance);
    }
}

void unload_3d_controls(AppShell& shell) {
    if (!loaded(shell)) {
        return;
    }
    Ctl3dCall unregister_call = export_by_ordinal(shell, CTL3D_UNREGISTER);
    if (unregister_call != nullptr) {
        unregister_call(shell.instance);
    }
    FreeLibrary(shell.ctl3d_module);
    shell.ctl3d_module = nullptr;
}
