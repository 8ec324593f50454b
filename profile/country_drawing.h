// The drawing of one item of the country list: the country's name beside its
// flag picture. The decisions are portable; the Win32 shell supplies the
// canvas that really draws (country_drawing_win32.cpp) and tests a recording
// one.
#pragma once

#include "profile/profile_values.h"

#include <cstddef>

namespace profile {

// Bits of the drawing request, with the values the list control uses.
constexpr unsigned ITEM_DRAW_ENTIRE = 0x1; // ODA_DRAWENTIRE
constexpr unsigned ITEM_SELECT = 0x2;      // ODA_SELECT
constexpr unsigned ITEM_FOCUS = 0x4;       // ODA_FOCUS
constexpr unsigned ITEM_HAS_FOCUS = 0x10;  // ODS_FOCUS (item state)

// The item text is read into this many bytes: 51 characters and the zero.
constexpr size_t ITEM_TEXT_SIZE = 52;
constexpr unsigned COUNTRY_ITEM_HEIGHT = 32; // the picture's height, and room for the text
constexpr int ITEM_TEXT_LEFT = 60;           // the text starts right of the picture
constexpr int ITEM_TEXT_TOP = 5;

struct CountryItemRequest {
    int busy;          // an apply is running: its chosen entry must not move
    bool country_list; // the asking control is the country list
    int item_id;       // -1 for an empty selection field
    unsigned action;   // ITEM_DRAW_ENTIRE, ITEM_SELECT, ITEM_FOCUS
    unsigned state;    // ITEM_HAS_FOCUS
};

// What drawing an item needs from the platform, in the item's own rectangle.
class CountryItemCanvas {
  public:
    virtual ~CountryItemCanvas() = default;
    // The item's text, cut to size - 1; false when the list has no such item.
    virtual bool item_text(int item_id, char* text, size_t size) = 0;
    // An inverting frame around the item: drawn twice, it is gone.
    virtual void focus_frame() = 0;
    // The text at ITEM_TEXT_LEFT, ITEM_TEXT_TOP, in the context's own colours.
    virtual void draw_text(const char* text) = 0;
    // Whether the flag-picture library is loaded.
    virtual bool has_pictures() = 0;
    // Loads the named picture; false when the library holds none by that name.
    virtual bool load_picture(const char* name) = 0;
    // Copies the loaded picture onto the item's top-left corner.
    virtual void copy_picture() = 0;
    // Frees the loaded picture.
    virtual void release_picture() = 0;
};

// Draws one item of the country list. Finding the picture walks the profile with
// CCfindSetCur, which leaves the key cursor and current_record on the
// item's entry; that is why nothing is drawn while `busy` is set.
void draw_country_item(Profile& profile, const CountryItemRequest& request,
                       CountryItemCanvas& canvas);

} // namespace profile
