#include "profile/country_drawing.h"

#include "profile/lookups.h"

namespace profile {
namespace {

// The picture part of an item: only for an entry of the profile whose
// picture the library holds. The lookup moves the key cursor.
void draw_picture(Profile& profile, const CountryItemRequest& request, const char* text,
                  CountryItemCanvas& canvas) {
    if (!canvas.has_pictures()) {
        return;
    }
    // An empty text is contained in every name and would find the first
    // entry's flag, which belongs to some other country.
    if (text[0] == '\0' || CCfindSetCur(profile, text) == 0) {
        return;
    }
    const char* picture = profile.current_record.picture;
    if (picture[0] == '\0' || !canvas.load_picture(picture)) {
        return;
    }
    if ((request.action & ITEM_FOCUS) != 0) {
        canvas.focus_frame();
    }
    if ((request.action & (ITEM_DRAW_ENTIRE | ITEM_SELECT)) != 0) {
        canvas.copy_picture();
    }
    canvas.release_picture();
}

} // namespace

void draw_country_item(Profile& profile, const CountryItemRequest& request,
                       CountryItemCanvas& canvas) {
    if (request.busy != 0 || !request.country_list || request.item_id == -1) {
        return;
    }
    char text[ITEM_TEXT_SIZE] = "";
    if (!canvas.item_text(request.item_id, text, sizeof text)) {
        return; // no such item: nothing to name, nothing to look up
    }
    if ((request.action & ITEM_DRAW_ENTIRE) != 0) {
        if ((request.state & ITEM_HAS_FOCUS) != 0) {
            canvas.focus_frame();
        }
        canvas.draw_text(text);
    }
    draw_picture(profile, request, text, canvas);
}

} // namespace profile
