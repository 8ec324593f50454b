#include "profile/country_drawing.h"

#include "common/text.h"
#include "resources/resource.h"
#include "tests/profile/profile_dir.h"

#include <gtest/gtest.h>

#include <string>

using namespace profile;

namespace {

// A one-item list and a flag library without "nz"; every call is kept in `steps`.
class RecordingCanvas : public CountryItemCanvas {
  public:
    std::string item, steps;
    bool library = true;

    bool item_text(int item_id, char* text, size_t size) override {
        copy_text(text, size, item.c_str());
        return item_id == 0;
    }
    void focus_frame() override { step("focus"); }
    void draw_text(const char* text) override { step(std::string("text ") + text); }
    bool has_pictures() override { return library; }
    bool load_picture(const char* name) override {
        picture_ = name;
        step((picture_ == "nz" ? "no " : "load ") + picture_);
        return picture_ != "nz";
    }
    void copy_picture() override { step("copy"); }
    void release_picture() override { step("release " + picture_); }

  private:
    void step(const std::string& text) { steps += (steps.empty() ? "" : ", ") + text; }
    std::string picture_;
};

class CountryDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.start("[tolvx]\r\n09=Australia,au,09\r\nB5=United States,us,B5\r\n00=Japan,jp,00\r\n"
                  "44=Nowhere,,44\r\n7E=New Zealand,nz,7E\r\n");
    }
    std::string draw(const std::string& item, unsigned action, unsigned state = 0) {
        canvas.item = item;
        canvas.steps.clear();
        draw_country_item(dir.profile(), {0, true, 0, action, state}, canvas);
        return canvas.steps;
    }
    ProfileDir dir;
    RecordingCanvas canvas;
};

} // namespace

TEST_F(CountryDrawing, OnlyDrawingAnItemMovesTheChosenEntry) {
    Profile& p = dir.profile();
    ASSERT_EQ(CCfindSetCur(p, "Japan"), 1);
    canvas.item = "United States";
    const CountryItemRequest nothing_to_draw[] = {
        {1, true, 0, ITEM_DRAW_ENTIRE, 0},               // an apply runs
        {0, true, -1, ITEM_DRAW_ENTIRE, ITEM_HAS_FOCUS}, // an empty selection field
        {0, false, 0, ITEM_DRAW_ENTIRE, 0},              // another control
        {0, true, 5, ITEM_DRAW_ENTIRE, 0},               // an item the list lacks
    };
    for (const CountryItemRequest& request : nothing_to_draw) {
        draw_country_item(p, request, canvas);
        EXPECT_STREQ(p.key_cursor, "00");
        EXPECT_STREQ(p.current_record.name, "Japan");
    }
    EXPECT_EQ(canvas.steps, "");
    draw("United States", ITEM_DRAW_ENTIRE);
    EXPECT_STREQ(p.key_cursor, "B5");
    EXPECT_STREQ(p.current_record.name, "United States");
}

// A picture loaded for an item is let go again; a missing one is passed over.
TEST_F(CountryDrawing, AnItemDrawnLetsGoOfThePictureItLoaded) {
    EXPECT_EQ(draw("Japan", ITEM_DRAW_ENTIRE, ITEM_HAS_FOCUS),
              "focus, text Japan, load jp, copy, release jp");
    EXPECT_EQ(draw("New Zealand", ITEM_DRAW_ENTIRE), "text New Zealand, no nz");
    EXPECT_EQ(draw("Atlantis", ITEM_DRAW_ENTIRE), "text Atlantis");
}
