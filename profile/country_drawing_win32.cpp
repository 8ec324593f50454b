#include "profile/country_drawing_win32.h"

#include <vector>

#include "common/text.h"
#include "profile/country_drawing.h"
#include "resources/resource.h"

HMODULE flags_module = nullptr;

namespace {

// Draws into the list's device context. The picture lives only for the one
// drawing call that loaded it.
class GdiItemCanvas : public profile::CountryItemCanvas {
  public:
    explicit GdiItemCanvas(const DRAWITEMSTRUCT* draw) : draw_(draw) {}

    bool item_text(int item_id, char* text, size_t size) override {
        // CB_GETLBTEXT writes the whole text, whatever its length: read it
        // whole, then keep what fits.
        LRESULT length = SendMessageA(draw_->hwndItem, CB_GETLBTEXTLEN, item_id, 0);
        if (length == CB_ERR) {
            return false;
        }
        std::vector<char> whole(static_cast<size_t>(length) + 1, '\0');
        if (SendMessageA(draw_->hwndItem, CB_GETLBTEXT, item_id,
                         reinterpret_cast<LPARAM>(whole.data())) == CB_ERR) {
            return false;
        }
        copy_text(text, size, whole.data());
        return true;
    }

    void focus_frame() override { DrawFocusRect(draw_->hDC, &draw_->rcItem); }

    void draw_text(const char* text) override {
        RECT area;
        CopyRect(&area, &draw_->rcItem);
        area.left += profile::ITEM_TEXT_LEFT;
        area.top += profile::ITEM_TEXT_TOP;
        DrawTextA(draw_->hDC, text, -1, &area, 0);
    }

    bool has_pictures() override { return flags_module != nullptr; }

    bool load_picture(const char* name) override {
        picture_ = LoadBitmapA(flags_module, name);
        return picture_ != nullptr;
    }

    void copy_picture() override {
        const RECT& item = draw_->rcItem;
        HDC memory = CreateCompatibleDC(draw_->hDC);
        if (memory == nullptr) {
            return;
        }
        HGDIOBJ previous = SelectObject(memory, picture_);
        if (previous != nullptr && previous != HGDI_ERROR) {
            BitBlt(draw_->hDC, item.left, item.top, item.right - item.left, item.bottom - item.top,
                   memory, 0, 0, SRCCOPY);
            SelectObject(memory, previous);
        }
        DeleteDC(memory);
    }

    void release_picture() override {
        DeleteObject(picture_);
        picture_ = nullptr;
    }

  private:
    const DRAWITEMSTRUCT* draw_;
    HBITMAP picture_ = nullptr;
};

} // namespace

void load_flag_pictures(const profile::Profile& profile) {
    if (profile.flags_path[0] == '\0') {
        return; // no path beside the program: no library either
    }
    // A damaged library must fail quietly too, without the loader's own box.
    UINT previous_mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    flags_module = LoadLibraryA(profile.flags_path);
    SetErrorMode(previous_mode);
}

void measure_country_item(WPARAM control_id, MEASUREITEMSTRUCT* measure) {
    if (control_id == IDC_COUNTRY) {
        measure->itemHeight = profile::COUNTRY_ITEM_HEIGHT;
    }
}

void size_country_field(HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_COUNTRY, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                        profile::COUNTRY_ITEM_HEIGHT);
}

void draw_country_item(profile::Profile& profile, const DRAWITEMSTRUCT* draw, int busy) {
    profile::CountryItemRequest request = {busy, draw->CtlID == IDC_COUNTRY,
                                           static_cast<int>(draw->itemID), draw->itemAction,
                                           draw->itemState};
    GdiItemCanvas canvas(draw);
    profile::draw_country_item(profile, request, canvas);
}
