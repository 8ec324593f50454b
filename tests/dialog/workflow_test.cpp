// The dialog as the user meets it: it scans, reads a modem, applies a pick
// with Apply or OK, and closes, past stalled ports, stale picks and long texts.
#include "tests/dialog/dialog_test.h"

#include "common/trace.h"

#include <sys/stat.h>

namespace {

const std::string US_STATUS = "Your modem is currently set for United States";

ScriptedModem modem_with(void (*change)(ScriptedModem&)) {
    ScriptedModem m;
    change(m);
    return m;
}

} // namespace

// The list may be redrawn at any moment of an apply, and drawing an item
// looks it up in the profile; so nothing is drawn until the apply has ended,
// or the entry chosen would move under the conversation.
TEST_F(DialogTest, AnApplyDrawsNoCountryUntilItHasEnded) {
    plug(5);
    start_dialog();
    EXPECT_EQ(draw_country_list(), 3);
    pick_country("United Kingdom");
    take_writes(5);
    std::vector<int> drawn;
    on_write = [&] { drawn.push_back(draw_country_list()); };
    command(IDC_APPLY);
    on_write = nullptr;
    EXPECT_EQ(take_writes(5),
              (Writes{"\rATV1\r", "AT*ncB4\r", "ATz\r", "ATi5\r", "ATi9##\r", "ATi9ccB4#\r"}));
    EXPECT_EQ(drawn, std::vector<int>(6, 0));
    EXPECT_NE(profile_text().find("[cccfg]\r\ncc=B4"), std::string::npos) << profile_text();
    EXPECT_EQ(draw_country_list(), 3);
}

// OK without a new pick, and Cancel, end the program at once whatever
// conversation runs, with the port closed first.
struct EndCase {
    const char* name;
    const char* silent; // what the modem leaves unanswered
    int button;
};
void PrintTo(const EndCase& c, std::ostream* out) {
    *out << c.name;
}
class EndsAtOnce : public DialogTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndsAtOnce, ClosingThePortFirst) {
    ScriptedModem m;
    m.silent = {GetParam().silent};
    plug(5, m);
    start_dialog();
    int closed = fake::fake_port().closed();
    command(GetParam().button);
    EXPECT_EQ(seam.ended(), 1);
    EXPECT_GT(fake::fake_port().closed(), closed);
    EXPECT_FALSE(fake::fake_port().receiving());
    EXPECT_EQ(dialog->state.close_when_done, GetParam().button == ID_OK ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, EndsAtOnce,
                         ::testing::Values(EndCase{"OkDuringTheScan", "ATV1", ID_OK},
                                           EndCase{"OkDuringARead", "ATi9", ID_OK},
                                           EndCase{"CancelDuringARead", "ATi5", ID_CANCEL}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DialogTest, OkStaysInForceAfterItsConnectionFailed) {
    plug(5);
    start_dialog();
    pick_country("United Kingdom");
    unplug(5);
    command(ID_OK);
    ASSERT_EQ(seam.boxes().size(), 1u);
    EXPECT_EQ(seam.boxes()[0].caption + ": " + seam.boxes()[0].text,
              "Info Status: Connection failed! Modem may be busy, not connected or unavailable.");
    EXPECT_EQ(seam.ended() + dialog->state.busy, 0) << "a refused apply must not block the list";

    plug(5);
    pick_country("United Kingdom");
    command(IDC_APPLY);
    EXPECT_EQ(take_writes(5).back(), "ATi9ccB4#\r");
    EXPECT_EQ(seam.ended(), 1); // the completed Apply ends the program
}

// A modem whose list has no comma keeps the countries of the modem before; a
// pick left on them is not applied by the next read.
TEST_F(DialogTest, AModemWithoutAListKeepsTheCountriesAndAStalePickIsNotApplied) {
    plug(5);
    plug(3, modem_with([](ScriptedModem& m) { m.list = "B5"; }));
    start_dialog();
    const Writes countries = seam.combo(IDC_COUNTRY).items;
    pick_country("United Kingdom"); // but no Apply
    pick(IDC_MODEM, 1);
    EXPECT_EQ(seam.combo(IDC_COUNTRY).items, countries);
    Writes read = take_writes(3);
    EXPECT_EQ(Writes(read.end() - 2, read.end()), (Writes{"ATi5\r", "ATi9\r"}));
    EXPECT_EQ(seam.text(IDC_STATUS), US_STATUS);
    EXPECT_EQ(dialog->talk.conversation_state + dialog->state.busy, CMD_IDLE);
    EXPECT_EQ(profile_text().find("cccfg"), std::string::npos);
}

// A modem that lists no country leaves nothing to pick, and says so.
TEST_F(DialogTest, AModemListingNoCountryLeavesTheListEmptyAndDisabled) {
    plug(5); // read first: its countries must not stay
    plug(3, modem_with([](ScriptedModem& m) { m.list = "()"; }));
    start_dialog();
    pick(IDC_MODEM, 1);
    EXPECT_EQ(seam.combo(IDC_COUNTRY).items, Writes{});
    EXPECT_EQ(seam.text(IDC_STATUS), "The modem lists no country.");
    EXPECT_FALSE(seam.enabled(IDC_COUNTRY));
    EXPECT_EQ(take_writes(3).back(), "ATi9\r") << "the read goes on to the end";
    EXPECT_EQ(dialog->talk.conversation_state, CMD_IDLE);
}

TEST_F(DialogTest, APickTheProfileDoesNotKnowIsNeverApplied) {
    plug(5, modem_with([](ScriptedModem& m) { m.list = "00,B4,77)"; })); // 77: in no entry
    start_dialog();
    pick_country("United Kingdom");
    pick_country("Unknown Country - 77");
    EXPECT_FALSE(seam.enabled(IDC_APPLY)) << "Apply must not stay on from the earlier pick";
    take_writes(5);
    command(ID_OK);
    EXPECT_TRUE(take_writes(5).empty());
    EXPECT_EQ(seam.text(IDC_STATUS), "Select a new country!");
    EXPECT_EQ(seam.ended() + dialog->state.busy, 0);
}

// An entry whose code is not letters and digits could carry a second command
// (a dial) to the modem: nothing is sent, and the apply fails with its box.
TEST_F(DialogTest, AnEntryThatWouldSmuggleACommandIsNeverSent) {
    std::ofstream(folder + "/TOLVEX.INI", std::ios::binary)
        << "[tolvx]\r\n00=Japan,jp,00\r\nQ7=Evil,xx,Q7\rATD1\r\n";
    plug(5, modem_with([](ScriptedModem& m) { m.list = "00,Q7)"; }));
    start_dialog();
    pick_country("Evil");
    take_writes(5);
    command(IDC_APPLY);
    EXPECT_TRUE(take_writes(5).empty());
    ASSERT_EQ(seam.boxes().size(), 1u);
    EXPECT_EQ(seam.boxes().back().text, "Failure to set the Country Code!");
    EXPECT_EQ(dialog->state.busy, 0);
}

// Nine modems fill the table; an identification longer than its row is cut
// but its item still names its port, even when the identification names a
// "COM" of its own.
TEST_F(DialogTest, NineModemsFillNineRowsAndALongIdentificationStillNamesItsPort) {
    Writes expected;
    for (int port = 9; port >= 1; --port) {
        ScriptedModem m;
        m.ident = port == 5 ? "Quorvant TELECOM 2 " + std::string(118, 'x')
                            : "Quorvant unit " + std::to_string(port);
        plug(port, m);
        expected.push_back(m.ident.substr(0, discovery::IDENT_TEXT_SIZE - 1) + "  COM" +
                           std::to_string(port));
    }
    start_dialog();
    EXPECT_EQ(seam.combo(IDC_MODEM).items, expected);
    EXPECT_EQ(take_writes(9).size(), 7u); // identified, then read
    pick(IDC_MODEM, 4);
    EXPECT_EQ(take_writes(5).at(3), "AT*nc?\r");
}

// A modem whose present code no entry has shows its raw codes; the read of
// a modem whose country is known hides them again.
TEST_F(DialogTest, AnUnknownPresentCodeShowsTheRawCodesUntilAKnownOneIsRead) {
    plug(5, modem_with([](ScriptedModem& m) { m.i5 = "77"; }));
    plug(3);
    start_dialog();
    EXPECT_EQ(seam.text(IDC_CURRENT_CODES), "Current i5 - 77, i9 - ");
    EXPECT_TRUE(seam.visible(IDC_CURRENT_CODES));
    EXPECT_EQ(seam.combo(IDC_COUNTRY).selected, -1);
    pick(IDC_MODEM, 1);
    EXPECT_FALSE(seam.visible(IDC_CURRENT_CODES));
    EXPECT_EQ(seam.text(IDC_STATUS), US_STATUS);
}

namespace {
std::string traced;
void keep_trace(const char* text) {
    traced += text;
}
} // namespace

// A choice the profile cannot remember changes nothing in the run: no box,
// the modem's note written and its country named. The failure is not lost:
// it is traced as the dialog's table has it, shown nowhere.
TEST_F(DialogTest, AChoiceTheProfileCannotKeepEndsTheApplyAsUsualAndIsTraced) {
    plug(5);
    start_dialog();
    pick_country("United Kingdom");
    chmod((folder + "/TOLVEX.INI").c_str(), 0444);
    traced.clear();
    set_trace_sink(keep_trace);
    command(IDC_APPLY);
    set_trace_sink(nullptr);
    EXPECT_EQ(take_writes(5).back(), "ATi9ccB4#\r");
    EXPECT_TRUE(seam.boxes().empty());
    EXPECT_EQ(seam.text(IDC_STATUS), "Your modem is currently set for United Kingdom");
    EXPECT_NE(traced.find("[shown nowhere: the modem holds the country"), std::string::npos)
        << traced;
    EXPECT_NE(traced.find("TOLVEX.INI: read-only"), std::string::npos) << traced;
}
