// The workflow as the user meets it: the dialog opens and scans, reads the
// first modem, applies a pick with Apply or OK, and closes.
#include "tests/dialog/dialog_test.h"

using Writes = std::vector<std::string>;

namespace {
const Writes READ_NC = {"\rATV1\r", "AT*nc?\r", "\rATV1\r", "ATi5\r", "ATi9\r"};

ScriptedModem telecom_modem() {
    ScriptedModem m;
    m.ident = "ACF3_V1 TELECOM 2";
    return m;
}
} // namespace

TEST_F(DialogTest, ModemsOnCom5AndCom2AreListedInThatOrderAndCom5IsRead) {
    plug(5, ScriptedModem{});
    plug(2, telecom_modem());
    start_dialog();

    EXPECT_EQ(probed_ports(), (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 5}));
    fake::Combo modems = seam.combo(IDC_MODEM);
    EXPECT_EQ(modems.items, (Writes{"Quorvant 56K Data Fax  COM5", "ACF3_V1 TELECOM 2  COM2"}));
    EXPECT_EQ(modems.selected, 0);
    EXPECT_EQ(seam.icon(IDC_STATE_ICON), static_cast<unsigned>(IDI_MODEM_FOUND));

    Writes com5 = {"\rATV1\r", "ATV1i3\r"};
    com5.insert(com5.end(), READ_NC.begin(), READ_NC.end());
    EXPECT_EQ(writes_to(5), com5);

    fake::Combo countries = seam.combo(IDC_COUNTRY);
    EXPECT_EQ(countries.items, (Writes{"Japan", "United Kingdom", "United States"}));
    ASSERT_GE(countries.selected, 0);
    EXPECT_EQ(countries.items[static_cast<size_t>(countries.selected)], "United States");
    EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for United States");
    // Selecting the present country by program enables nothing.
    EXPECT_TRUE(seam.enabled(IDC_COUNTRY));
    EXPECT_FALSE(seam.enabled(IDC_APPLY));
    EXPECT_EQ(workflow::country_picked, 0);
    EXPECT_EQ(modem::conversation_state, CMD_IDLE);
    EXPECT_FALSE(fake::fake_port().receiving());
    EXPECT_EQ(box_texts(), "");
}

TEST_F(DialogTest, NoModemOffersApplyWhichScansAgainAndFindsOnePluggedInLater) {
    start_dialog();
    EXPECT_EQ(seam.combo(IDC_MODEM).items,
              (Writes{"Unable to find a Modem! May be busy or disconnected"}));
    EXPECT_EQ(seam.combo(IDC_MODEM).selected, 0);
    EXPECT_EQ(seam.text(IDC_STATUS), "Insert modem and press 'Apply' !");
    EXPECT_TRUE(seam.enabled(IDC_APPLY));
    EXPECT_FALSE(seam.enabled(IDC_COUNTRY));
    EXPECT_EQ(seam.icon(IDC_STATE_ICON), static_cast<unsigned>(IDI_APP));
    EXPECT_TRUE(fake::fake_port().writes().empty());

    ScriptedModem mute; // answers nothing at all
    mute.silent = {"ATV1"};
    plug(9, mute);
    plug(3, ScriptedModem{});
    forget_writes();
    command(IDC_APPLY);
    EXPECT_EQ(seam.text(IDC_STATUS), "Searching for known modems...");
    EXPECT_FALSE(seam.enabled(IDC_APPLY));
    expire_deadline(); // the wake-up goes once more
    expire_deadline(); // and the scan moves on without a word
    EXPECT_EQ(writes_to(9), (Writes{"\rATV1\r", "\rATV1\r"}));
    EXPECT_EQ(seam.combo(IDC_MODEM).items, (Writes{"Quorvant 56K Data Fax  COM3"}));
    EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for United States");
    EXPECT_EQ(box_texts(), "");
}

TEST_F(DialogTest, ApplyOnAnNcModemSetsResetsReadsBackAndWritesTheNote) {
    plug(5, ScriptedModem{});
    start_dialog();
    pick_country("United Kingdom");
    EXPECT_TRUE(seam.enabled(IDC_APPLY));
    EXPECT_EQ(workflow::country_picked, 1);

    forget_writes();
    command(IDC_APPLY);
    EXPECT_EQ(writes_to(5),
              (Writes{"\rATV1\r", "AT*ncB4\r", "ATz\r", "ATi5\r", "ATi9##\r", "ATi9ccB4#\r"}));
    EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for United Kingdom");
    EXPECT_TRUE(seam.enabled(IDC_COUNTRY));
    EXPECT_FALSE(seam.enabled(IDC_APPLY));
    EXPECT_EQ(seam.focus(), ID_OK);
    EXPECT_EQ(workflow::busy, 0);
    EXPECT_EQ(workflow::country_picked, 0);
    EXPECT_EQ(modem::conversation_state, CMD_IDLE);
    EXPECT_NE(profile_text().find("[cccfg]\r\ncc=B4"), std::string::npos) << profile_text();
    EXPECT_EQ(seam.ended(), 0);
}

TEST_F(DialogTest, OkWithAPickAppliesOnAGciModemAndThenEnds) {
    ScriptedModem gci;
    gci.gci = true;
    plug(5, gci);
    start_dialog();
    pick_country("United Kingdom");

    forget_writes();
    command(ID_OK);
    EXPECT_EQ(writes_to(5), (Writes{"\rATV1\r", "AT+GCI=B4\r", "ATz\r", "ATi5\r"}));
    EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for United Kingdom");
    EXPECT_EQ(seam.destroyed() + seam.ended(), 1);
    EXPECT_FALSE(fake::fake_port().receiving());
}

// OK without a new pick, and Cancel, end the program at once whatever
// conversation runs, with the port closed first.
struct EndCase {
    const char* name;
    std::string silent_command; // what the modem leaves unanswered
    int button;
};

void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}

class EndsAtOnce : public DialogTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndsAtOnce, ClosingThePortFirst) {
    ScriptedModem m;
    m.silent = {GetParam().silent_command};
    plug(5, m);
    start_dialog();
    int closed = fake::fake_port().closed();
    command(GetParam().button);
    EXPECT_EQ(seam.ended(), 1);
    EXPECT_GT(fake::fake_port().closed(), closed);
    EXPECT_FALSE(fake::fake_port().receiving());
    EXPECT_EQ(workflow::close_when_done, GetParam().button == ID_OK ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, EndsAtOnce,
                         ::testing::Values(EndCase{"OkDuringTheScan", "ATV1", ID_OK},
                                           EndCase{"OkDuringARead", "ATi9", ID_OK},
                                           EndCase{"CancelDuringARead", "ATi5", ID_CANCEL},
                                           EndCase{"CancelWhenIdle", "", ID_CANCEL}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, OkStaysInForceAfterItsConnectionFailed) {
    plug(5, ScriptedModem{});
    start_dialog();
    pick_country("United Kingdom");
    unplug(5);
    command(ID_OK);
    EXPECT_EQ(box_texts(), "Connection failed! Modem may be busy, not connected or unavailable.");
    EXPECT_EQ(seam.boxes().at(0).caption, "Info Status");
    EXPECT_EQ(seam.ended(), 0);
    EXPECT_EQ(workflow::busy, 0) << "a refused apply must not keep the list from drawing";

    plug(5, ScriptedModem{});
    pick_country("United Kingdom");
    command(IDC_APPLY);
    EXPECT_EQ(writes_to(5).back(), "ATi9ccB4#\r");
    EXPECT_EQ(seam.ended(), 1); // the completed Apply ends the program
}

TEST_F(DialogTest, AListWithoutACommaOrNoListAtAllKeepsTheCountriesOfTheModemBefore) {
    ScriptedModem no_comma;
    no_comma.list = "B5";
    ScriptedModem no_list;
    no_list.gci = true;
    no_list.errors = {"AT+GCI=?"};
    plug(5, ScriptedModem{});
    plug(3, no_comma);
    plug(2, no_list);
    start_dialog();
    const Writes countries = {"Japan", "United Kingdom", "United States"};
    ASSERT_EQ(seam.combo(IDC_COUNTRY).items, countries);

    for (int item : {1, 2}) {
        int port = item == 1 ? 3 : 2;
        SCOPED_TRACE(port);
        forget_writes();
        pick_modem_item(item);
        EXPECT_EQ(seam.combo(IDC_COUNTRY).items, countries);
        Writes read = writes_to(port);
        ASSERT_GE(read.size(), 2u);
        EXPECT_EQ(Writes(read.end() - 2, read.end()), (Writes{"ATi5\r", "ATi9\r"}));
        EXPECT_EQ(modem::conversation_state, CMD_IDLE);
    }
}

TEST_F(DialogTest, AModemChoiceRefusedAsBusyKeepsTheChosenPortForTheNextApply) {
    ScriptedModem slow;
    slow.silent = {"ATi9"};
    plug(5, slow);
    plug(2, ScriptedModem{});
    start_dialog();
    pick_modem_item(1);
    EXPECT_EQ(box_texts(), "Modem is busy performing a task. Please try again later!");
    EXPECT_EQ(seam.boxes().at(0).caption, "Country Code Status");
    EXPECT_EQ(seam.boxes().at(0).flags, WARNING_BOX);
    EXPECT_TRUE(seam.boxes().at(0).owned);
    EXPECT_EQ(port_number, 2);
    EXPECT_EQ(seam.text(IDC_STATUS), "Setting up Countries supported...");
    EXPECT_FALSE(seam.enabled(IDC_COUNTRY));
}
