#include "profile/country_drawing.h"

#include "common/trace.h"
#include "profile/lookups.h"
#include "profile/profile_file.h"
#include "profile/profile_values.h"
#include "resources/resource.h"
#include "tests/profile/temp_dir.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

using namespace profile;

namespace {

using Steps = std::vector<std::string>;

// A list control and a flag library in memory; every drawing call is kept.
class RecordingCanvas : public CountryItemCanvas {
  public:
    std::vector<std::string> items;
    std::set<std::string> pictures = {"au", "us", "jp", "gn", "gw", "unkn"};
    bool library = true;
    Steps steps;

    bool item_text(int item_id, char* text, size_t size) override {
        if (item_id < 0 || item_id >= static_cast<int>(items.size())) {
            return false;
        }
        std::string cut = items[item_id].substr(0, size - 1);
        cut.copy(text, cut.size());
        text[cut.size()] = '\0';
        return true;
    }
    void focus_frame() override { steps.push_back("focus"); }
    void draw_text(const char* text) override { steps.push_back(std::string("text ") + text); }
    bool has_pictures() override { return library; }
    bool load_picture(const char* name) override {
        if (pictures.count(name) == 0) {
            steps.push_back(std::string("no picture ") + name);
            return false;
        }
        loaded_ = name;
        steps.push_back("load " + loaded_);
        return true;
    }
    void copy_picture() override { steps.push_back("copy " + loaded_); }
    void release_picture() override { steps.push_back("release " + loaded_); }

  private:
    std::string loaded_;
};

void quiet(const char*) {}

// The profile of an earlier run: it recorded an unknown code under a Bogus key.
const char* const PROFILE = "[tolvx]\r\n"
                            "09=Australia,au,09\r\n"
                            "B5=United States,us,B5\r\n"
                            "00=Japan,jp,00\r\n"
                            "44=Nowhere,,44\r\n"
                            "45=Guinea-Bissau,gw,45\r\n"
                            "46=Guinea,gn,46\r\n"
                            "Bogus1=Unknown Country - 09,unkn,09\r\n";

class CountryDrawing : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_sink = set_trace_sink(quiet);
        dir.write("TOLVEX.INI", PROFILE);
        reset_values();
        load_profile_for(dir.file("tarvelle.exe").c_str());
    }
    void TearDown() override { set_trace_sink(previous_sink); }

    Steps draw(const std::string& item, unsigned action, unsigned state = 0, int busy = 0) {
        canvas.items = {item};
        canvas.steps.clear();
        draw_country_item({busy, IDC_COUNTRY, 0, action, state}, canvas);
        return canvas.steps;
    }

    TempDir dir;
    RecordingCanvas canvas;
    TraceSink previous_sink = nullptr;
};

TEST_F(CountryDrawing, StepsByRequest) {
    struct Case {
        const char* item;
        unsigned action;
        unsigned state;
        Steps steps;
    } cases[] = {
        {"United States",
         ITEM_DRAW_ENTIRE,
         0,
         {"text United States", "load us", "copy us", "release us"}},
        {"United States",
         ITEM_DRAW_ENTIRE,
         ITEM_HAS_FOCUS,
         {"focus", "text United States", "load us", "copy us", "release us"}},
        // A new selection: the picture again, the text is left as it is.
        {"Japan", ITEM_SELECT, 0, {"load jp", "copy jp", "release jp"}},
        // The focus moving: the frame alone, inverted.
        {"Japan", ITEM_FOCUS, ITEM_HAS_FOCUS, {"load jp", "focus", "release jp"}},
        {"Japan", ITEM_FOCUS | ITEM_SELECT, 0, {"load jp", "focus", "copy jp", "release jp"}},
        // An unknown code recorded in an earlier run has the "unknown" picture.
        {"Unknown Country - 09",
         ITEM_DRAW_ENTIRE,
         0,
         {"text Unknown Country - 09", "load unkn", "copy unkn", "release unkn"}},
        // The first entry whose name holds the text: Guinea-Bissau comes first.
        {"Guinea", ITEM_DRAW_ENTIRE, 0, {"text Guinea", "load gw", "copy gw", "release gw"}},
        // No entry, or an entry without a picture name: the name alone.
        {"Atlantis", ITEM_DRAW_ENTIRE, 0, {"text Atlantis"}},
        {"Nowhere", ITEM_DRAW_ENTIRE, 0, {"text Nowhere"}},
        {"Atlantis", ITEM_FOCUS, 0, {}},
        // An empty text would find the first entry's flag, which is not its own.
        {"", ITEM_DRAW_ENTIRE, 0, {"text "}},
        // A text longer than the item buffer is drawn and looked up cut.
        {"Unknown Country - 0123456789012345678901234567890123456789",
         ITEM_DRAW_ENTIRE,
         0,
         {"text Unknown Country - 012345678901234567890123456789012"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(draw(c.item, c.action, c.state), c.steps) << c.item << " action " << c.action;
    }
}

TEST_F(CountryDrawing, PicturesMissingFromTheLibraryLeaveTheText) {
    canvas.pictures.erase("us");
    EXPECT_EQ(draw("United States", ITEM_DRAW_ENTIRE),
              (Steps{"text United States", "no picture us"}));
    EXPECT_EQ(draw("United States", ITEM_SELECT), (Steps{"no picture us"}));

    canvas.library = false;
    EXPECT_EQ(draw("Japan", ITEM_DRAW_ENTIRE, ITEM_HAS_FOCUS), (Steps{"focus", "text Japan"}));
    EXPECT_EQ(draw("Japan", ITEM_FOCUS | ITEM_SELECT), Steps{});
}

TEST_F(CountryDrawing, DrawingMovesTheCursorUnlessAnApplyRuns) {
    ASSERT_EQ(CCfindSetCur("Japan"), 1);
    const char* chosen = key_cursor;

    EXPECT_EQ(draw("United States", ITEM_DRAW_ENTIRE, 0, /*busy=*/1), Steps{});
    EXPECT_EQ(key_cursor, chosen);
    EXPECT_STREQ(current_record.name, "Japan");
    EXPECT_STREQ(code_to_send, "00");

    draw("United States", ITEM_DRAW_ENTIRE);
    EXPECT_STREQ(key_cursor, "B5");
    EXPECT_STREQ(code_to_send, "B5");
}

TEST_F(CountryDrawing, RequestsThatDrawNothing) {
    canvas.items = {"Japan"};
    struct Case {
        const char* what;
        CountryItemRequest request;
    } cases[] = {
        {"an empty selection field", {0, IDC_COUNTRY, -1, ITEM_DRAW_ENTIRE, ITEM_HAS_FOCUS}},
        {"another control", {0, IDC_MODEM, 0, ITEM_DRAW_ENTIRE, 0}},
        {"an item the list does not have", {0, IDC_COUNTRY, 5, ITEM_DRAW_ENTIRE, 0}},
    };
    for (const Case& c : cases) {
        canvas.steps.clear();
        draw_country_item(c.request, canvas);
        EXPECT_EQ(canvas.steps, Steps{}) << c.what;
    }
    EXPECT_STREQ(key_cursor, "09"); // never looked anything up
}

TEST_F(CountryDrawing, AnEntryAddedDuringTheRunHasNoPictureUntilTheNextStart) {
    // The key list is read at start-up; an unknown code met now is written
    // to the file but the walk does not reach it.
    write_profile_string(ENTRY_SECTION, "Bogus2", "Unknown Country - 7F,unkn,7F", profile_path);
    EXPECT_EQ(draw("Unknown Country - 7F", ITEM_DRAW_ENTIRE), Steps{"text Unknown Country - 7F"});

    load_profile_for(dir.file("tarvelle.exe").c_str());
    EXPECT_EQ(draw("Unknown Country - 7F", ITEM_DRAW_ENTIRE),
              (Steps{"text Unknown Country - 7F", "load unkn", "copy unkn", "release unkn"}));
}

} // namespace
