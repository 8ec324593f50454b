// Where a plain reading of the workflow goes wrong: a pick left from the
// modem before, a pick the profile does not know, many modems, a scan that
// would stall, and texts longer than their fields.
#include "tests/dialog/dialog_test.h"

#include "dialog/discovery.h"

#include <climits>
#include <cstring>

using Writes = std::vector<std::string>;

// The second modem's list has no comma, so the country list and the pick on
// it stay as they were.
TEST_F(DialogTest, APickLeftFromTheModemBeforeDoesNotFinishTheNextModemsRead) {
    ScriptedModem no_comma;
    no_comma.list = "B5";
    plug(5, ScriptedModem{});
    plug(2, no_comma);
    start_dialog();
    pick_country("United Kingdom"); // but no Apply

    forget_writes();
    pick_modem_item(1);
    EXPECT_EQ(writes_to(2), (Writes{"\rATV1\r", "AT*nc?\r", "\rATV1\r", "ATi5\r", "ATi9\r"}));
    EXPECT_EQ(profile_text().find("cccfg"), std::string::npos);
    EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for United States");
    EXPECT_EQ(workflow::busy, 0);
}

TEST_F(DialogTest, APickTheProfileDoesNotKnowIsNeverApplied) {
    ScriptedModem m;
    m.list = "00,B4,77)"; // 77 is in no profile entry
    plug(5, m);
    start_dialog();
    const std::string unknown = "Unknown Country - 77";
    ASSERT_EQ(seam.combo(IDC_COUNTRY).items.size(), 3u);

    pick_country("United Kingdom");
    EXPECT_TRUE(seam.enabled(IDC_APPLY));
    pick_country(unknown);
    EXPECT_FALSE(seam.enabled(IDC_APPLY)) << "Apply must not stay on from the earlier pick";

    forget_writes();
    command(ID_OK);
    EXPECT_TRUE(writes_to(5).empty());
    EXPECT_EQ(seam.text(IDC_STATUS), "Select a new country!");
    EXPECT_EQ(seam.ended(), 0);
    EXPECT_EQ(workflow::busy, 0);
}

TEST_F(DialogTest, NineModemsFillNineRowsInDescendingPortOrder) {
    Writes expected;
    for (int port = 9; port >= 1; --port) {
        ScriptedModem m;
        m.ident = "Quorvant unit " + std::to_string(port);
        plug(port, m);
        expected.push_back(m.ident + "  COM" + std::to_string(port));
    }
    start_dialog();
    EXPECT_EQ(discovery::modem_count, 9);
    EXPECT_EQ(seam.combo(IDC_MODEM).items, expected);
    EXPECT_EQ(writes_to(9).size(), 7u); // identified, then read
}

TEST_F(DialogTest, AScanGoesOnPastAWakeUpRefusedTwiceAndAnUnansweredIdentification) {
    ScriptedModem refuses;
    refuses.errors = {"ATV1"};
    ScriptedModem mute_ident;
    mute_ident.silent = {"ATV1i3"};
    plug(9, refuses);
    plug(7, mute_ident);
    plug(5, ScriptedModem{});
    start_dialog();
    EXPECT_EQ(writes_to(9), (Writes{"\rATV1\r", "\rATV1\r"}));
    ASSERT_EQ(writes_to(7), (Writes{"\rATV1\r", "ATV1i3\r"}));
    EXPECT_EQ(seam.text(IDC_STATUS), "Searching for known modems...");

    expire_deadline();
    EXPECT_EQ(seam.combo(IDC_MODEM).items, (Writes{"Quorvant 56K Data Fax  COM5"}));
    EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for United States");
    // Only the refused wake-up is worth a box; a mute port is passed over.
    EXPECT_EQ(seam.boxes().size(), 1u);
    EXPECT_EQ(box_texts().find("timeout"), std::string::npos);
}

TEST_F(DialogTest, AnIdentificationLongerThanItsRowStillNamesItsPort) {
    ScriptedModem wordy;
    wordy.ident = "Quorvant " + std::string(118, 'x'); // 127 characters, the most kept
    plug(5, wordy);
    plug(2, ScriptedModem{});
    start_dialog();
    const std::string item = seam.combo(IDC_MODEM).items.at(0);
    EXPECT_EQ(item, wordy.ident.substr(0, discovery::IDENT_TEXT_SIZE - 1) + "  COM5");

    pick_modem_item(1);
    forget_writes();
    pick_modem_item(0);
    EXPECT_EQ(writes_to(5).at(1), "AT*nc?\r");
}

// The port of a modem-list item is the number after its first "COM".
TEST(ModemListItem, NamesThePortAfterItsFirstCom) {
    struct Case {
        const char* item;
        bool has_com;
        int port;
    };
    for (const Case& c :
         {Case{"ABC  COM3", true, 3}, Case{"ACF3_V1 TELECOM 2  COM5", true, 2},
          Case{"Quorvant COMPACT  COM4", true, 0},
          Case{"Unable to find a Modem! May be busy or disconnected", false, 0},
          Case{"Modem  com7", false, 0}, Case{"X  COM\t-7", true, -7}, Case{"X  COM+12", true, 12},
          Case{"X  COM99999999999999999999", true, INT_MAX}, Case{"COM", true, 0}}) {
        int port = -100;
        EXPECT_EQ(discovery::parse_com_port(c.item, &port), c.has_com) << c.item;
        if (c.has_com) {
            EXPECT_EQ(port, c.port) << c.item;
        }
    }
}
