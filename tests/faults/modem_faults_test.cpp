// A simulated modem that fails at each step of the scan, the read and the
// apply: ERROR, silence, a dropped line, a modem pulled out, noise, NULs and
// answers too long to keep. Every row ends with the box the failure calls
// for, the port given back, the profile written only by a step that got that
// far, and a dialog that still reads the modem and closes on Cancel.
#include "tests/faults/sim_dialog.h"

namespace {

enum class Stage { scan, read, apply };

struct FaultRow {
    const char* name;
    Stage stage;
    const char* scenario; // the simulated modem's faults
    Texts boxes;          // shown by the time the dialog rests again
    bool listed = true;   // the scan still lists the modem
    bool written = false; // the apply got far enough to record the choice
};

const std::string REFUSED = "Modem Status: The modem refused the wake-up command!";
const std::string TIMEOUT = "Modem Status: Modem dialog timeout occurred!";
const std::string GET_FAILED = "Modem Status: Failure to get the Country Code!";
const std::string SET_FAILED = "Modem Status: Failure to set the Country Code!";
const std::string RESET_FAILED = "Modem Status: Failure to reset the modem!";
const std::string NOTE_FAILED = "Modem Status: Failure to clear/set the I9 string!";
const std::string DEPLETED = "Modem Status: Internal Storage Depletion, disconnecting from port";
const std::string UNPLUGGED =
    "Info Status: Connection failed! Modem may be busy, not connected or unavailable.";
const std::string BAD_STATE = "Modem Status: Bad internal state! - 35";
const std::string CURRENT = "Your modem is currently set for ";

const char* const PROFILE = "[tolvx]\r\n00=Japan,jp,00\r\n09=Australia,au,09\r\n"
                            "B5=United States,us,B5\r\n[cccfg]\r\ncc=00\r\n";

// The wake-up is the modem's "v1": the scan sends it first, the read sends
// the next two and the apply the fourth; "skip" picks which one fails, and a
// wake-up refused or unanswered is sent twice. Likewise "i5" is read by the
// read first and by the apply second.
const FaultRow ROWS[] = {
    {"ScanWakeRefused", Stage::scan, "fault.v1 = error x2", {REFUSED}, false},
    {"ScanIdentifyRefused", Stage::scan, "fault.i3 = error x1", {BAD_STATE}, false},
    {"ScanWakeSilent", Stage::scan, "fault.v1 = silent x2", {}, false},
    {"ScanIdentifySilent", Stage::scan, "fault.i3 = silent x1", {}, false},
    {"ScanIdentifyBehindNoise", Stage::scan, "fault.i3 = garbage:40 x1", {}},
    {"ScanIdentifyPaddedWithANul", Stage::scan, "fault.i3 = nul x1", {}},
    {"ScanIdentifyOverlong", Stage::scan, "fault.i3 = long:2500 x1", {}},
    {"UnpluggedBetweenScanAndRead", Stage::scan, "fault.i3 = unplug", {UNPLUGGED}},

    {"ReadWakeRefused", Stage::read, "fault.v1 = error skip:1 x2", {REFUSED}},
    {"ReadListRefusedByBothQueries", Stage::read, "fault.nclist = error x1", {}},
    {"ReadSecondWakeRefused", Stage::read, "fault.v1 = error skip:2 x2", {REFUSED}},
    {"ReadPresentCodeRefused", Stage::read, "fault.i5 = error x1", {GET_FAILED}},
    {"ReadNoteRefused", Stage::read, "fault.i9 = error x1", {}},
    {"ReadWakeSilent", Stage::read, "fault.v1 = silent skip:1 x2", {TIMEOUT}},
    {"ReadListSilent", Stage::read, "fault.nclist = silent x1", {TIMEOUT}},
    {"ReadSecondWakeSilent", Stage::read, "fault.v1 = silent skip:2 x2", {TIMEOUT}},
    {"ReadPresentCodeSilent", Stage::read, "fault.i5 = silent x1", {TIMEOUT}},
    {"ReadNoteSilent", Stage::read, "fault.i9 = silent x1", {TIMEOUT}},
    {"ReadHangsUp", Stage::read, "fault.i5 = hangup x1", {TIMEOUT}},
    {"ReadListBehindNoise", Stage::read, "fault.nclist = garbage:40 x1", {}},
    {"ReadPresentCodeWithANul", Stage::read, "fault.i5 = nul x1", {}},
    // The first NUL of a read is a blank; the text ends at the next, and so
    // does the result code after it.
    {"ReadPresentCodeWithThreeNuls", Stage::read, "fault.i5 = nul:3 x1", {TIMEOUT}},
    {"ReadNoteOverlong", Stage::read, "note = CC00\nfault.i9 = long:2500 x1", {}},
    {"ReadAnswerOverflows", Stage::read, "fault.i5 = long:4000 split:500 x1", {DEPLETED, TIMEOUT}},

    {"ApplyWakeRefused", Stage::apply, "fault.v1 = error skip:3 x2", {REFUSED}},
    {"ApplySetRefused", Stage::apply, "fault.ncset = error x1", {SET_FAILED}},
    {"ApplyResetRefused", Stage::apply, "fault.z = error x1", {RESET_FAILED}},
    {"ApplyReadBackRefused", Stage::apply, "fault.i5 = error skip:1 x1", {GET_FAILED}},
    {"ApplyNoteClearRefused", Stage::apply, "fault.i9clear = error x1", {NOTE_FAILED}, true, true},
    {"ApplyNoteWriteRefused", Stage::apply, "fault.i9set = error x1", {NOTE_FAILED}, true, true},
    {"ApplyWakeSilent", Stage::apply, "fault.v1 = silent skip:3 x2", {TIMEOUT}},
    {"ApplySetSilent", Stage::apply, "fault.ncset = silent x1", {TIMEOUT}},
    {"ApplyResetSilent", Stage::apply, "fault.z = silent x1", {TIMEOUT}},
    {"ApplyReadBackSilent", Stage::apply, "fault.i5 = silent skip:1 x1", {TIMEOUT}},
    {"ApplyNoteClearSilent", Stage::apply, "fault.i9clear = silent x1", {TIMEOUT}, true, true},
    {"ApplyNoteWriteSilent", Stage::apply, "fault.i9set = silent x1", {TIMEOUT}, true, true},
    {"ApplyHangsUp", Stage::apply, "fault.ncset = hangup x1", {TIMEOUT}},
};

class ModemFaultTest : public SimDialogTest, public ::testing::WithParamInterface<FaultRow> {};

void PrintTo(const FaultRow& row, std::ostream* out) {
    *out << row.name << " (" << row.scenario << ")";
}

} // namespace

TEST_P(ModemFaultTest, EndsWithItsBoxThePortFreedAndTheDialogStillWorking) {
    const FaultRow& row = GetParam();
    write_profile(PROFILE);
    ASSERT_TRUE(plug(std::string(row.scenario) + "\n"));
    const int descriptors = open_descriptors();
    start_dialog();
    if (row.stage == Stage::apply) {
        ASSERT_EQ(take_boxes(), Texts{});
        ASSERT_TRUE(pick_country("United States"));
        command(IDC_APPLY);
    }
    EXPECT_EQ(take_boxes(), row.boxes);
    EXPECT_EQ(discovery::modem_count, row.listed ? 1 : 0);
    EXPECT_EQ(modem::conversation_state, CMD_IDLE);
    EXPECT_TRUE(port_released());
    EXPECT_EQ(open_descriptors(), descriptors) << "the port's descriptors were not given back";
    const std::string profile = profile_text();
    if (row.written) {
        EXPECT_NE(profile.find("[cccfg]\r\ncc=B5\r\n"), std::string::npos) << profile;
    } else {
        EXPECT_EQ(profile, PROFILE);
    }

    // The dialog still answers: a new read (or a new scan) gets through, as the
    // modem fails once only; a modem pulled out only fails to open again.
    if (discovery::modem_count == 0) {
        command(IDC_APPLY);
    } else {
        pick(IDC_MODEM, 0);
    }
    if (std::string(row.scenario).find("unplug") != std::string::npos) {
        EXPECT_EQ(take_boxes(), Texts{UNPLUGGED});
    } else {
        EXPECT_EQ(take_boxes(), Texts{});
        EXPECT_EQ(seam.text(IDC_STATUS).rfind(CURRENT, 0), 0u) << seam.text(IDC_STATUS);
        EXPECT_TRUE(seam.enabled(IDC_COUNTRY));
    }
    command(2 /* IDCANCEL */);
    EXPECT_EQ(seam.ended(), 1);
    EXPECT_TRUE(port_released());
    EXPECT_EQ(open_descriptors(), descriptors);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ModemFaultTest, ::testing::ValuesIn(ROWS),
                         [](const ::testing::TestParamInfo<FaultRow>& info) {
                             return std::string(info.param.name);
                         });

// Cancel while a command waits for its answer: the port is closed before the
// dialog ends (its timer goes with its window).
TEST_F(SimDialogTest, CancelWhileTheModemIsSilentEndsAtOnceAndFreesThePort) {
    write_profile(PROFILE);
    ASSERT_TRUE(plug("fault.i5 = silent\n"));
    const int descriptors = open_descriptors();
    start_dialog([] { return command_code(modem::conversation_state) == CMD_READ_I5; });
    ASSERT_EQ(command_code(modem::conversation_state), CMD_READ_I5);
    command(2 /* IDCANCEL */);
    EXPECT_EQ(seam.ended(), 1);
    EXPECT_TRUE(port_released());
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(take_boxes(), Texts{});
}
