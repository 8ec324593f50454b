// Profiles that are missing, unreadable, huge, binary or strangely shaped:
// the dialog still scans, reads the modem and applies what it can, within
// its time limits, and whatever it writes keeps every byte the file held.
#include "tests/faults/sim_dialog.h"

#include <random>
#include <sys/stat.h>

namespace {

std::string entries(int count, const std::string& key_prefix) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "%s%03X=Country %d,xx,%03X\r\n", key_prefix.c_str(), i, i,
                      i);
        text += line;
    }
    return text;
}

const std::string COUNTRIES = "00=Japan,jp,00\r\n09=Australia,au,09\r\nB5=United States,us,B5\r\n";

std::string random_bytes(size_t count) {
    std::mt19937 noise(20261206);
    std::string text(count, '\0');
    for (char& c : text) {
        c = static_cast<char>(noise() % 7 == 0 ? 0 : noise());
    }
    return text;
}

std::string utf16(const std::string& ascii) {
    std::string text = "\xFF\xFE";
    for (char c : ascii) {
        text += c;
        text += '\0';
    }
    return text;
}

struct DamageRow {
    const char* name;
    std::function<void(const std::string& path)> make;
    bool keep_unchanged; // a text the program must not add to
};

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const DamageRow DAMAGES[] = {
    {"Missing", [](const std::string&) {}, false},
    {"AFolder", [](const std::string& path) { mkdir(path.c_str(), 0755); }, true},
    {"HundredMegabytes",
     [](const std::string& path) {
         // Sparse: the countries, then a hole of zero bytes to 100 MB.
         write_file(path, "[tolvx]\r\n" + COUNTRIES);
         ASSERT_EQ(truncate(path.c_str(), 100 << 20), 0);
     },
     false},
    {"RandomBytesWithNuls", [](const std::string& path) { write_file(path, random_bytes(4096)); },
     false},
    {"Utf16WithAByteOrderMark",
     [](const std::string& path) { write_file(path, utf16("[tolvx]\r\n" + COUNTRIES)); }, true},
    {"NoCountrySection",
     [](const std::string& path) { write_file(path, "[other]\r\n" + COUNTRIES); }, false},
    {"AThousandEntries",
     [](const std::string& path) {
         write_file(path, "[tolvx]\r\n" + entries(1000, "K") + COUNTRIES);
     },
     false},
    {"KeysOfTwelveCharactersOrMore",
     [](const std::string& path) {
         write_file(path, "[tolvx]\r\n" + entries(40, "LONGKEYNAME") +
                              "ABCDEFGHIJKLMNOPQRSTUVWXYZ=Far,xx,B5\r\n" + COUNTRIES);
     },
     false},
    {"DuplicateSections",
     [](const std::string& path) {
         write_file(path, "[tolvx]\r\n00=Japan,jp,00\r\n[cccfg]\r\ncc=00\r\n[tolvx]\r\n" +
                              COUNTRIES + "[cccfg]\r\ncc=09\r\n");
     },
     false},
};

class DamagedProfileTest : public SimDialogTest, public ::testing::WithParamInterface<DamageRow> {
  protected:
    std::string path() const { return folder + "/TOLVEX.INI"; }
    bool is_folder() const {
        struct stat info;
        return stat(path().c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }
};

void PrintTo(const DamageRow& row, std::ostream* out) {
    *out << row.name;
}

// Every byte of `before` is still there, in order, and what came in between
// is whole lines of printable text.
::testing::AssertionResult kept_every_byte(const std::string& before, const std::string& after) {
    size_t at = 0;
    for (char c : after) {
        if (at < before.size() && c == before[at]) {
            ++at;
        } else if (!(c == '\r' || c == '\n' || (c >= ' ' && c < 0x7F))) {
            return ::testing::AssertionFailure() << "a byte came in that no line of ours holds";
        }
    }
    if (at < before.size()) {
        return ::testing::AssertionFailure() << "lost the bytes from " << at << " on";
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST_P(DamagedProfileTest, TheDialogReadsAndAppliesAndKeepsEveryByteOfTheFile) {
    GetParam().make(path());
    const bool folder_there = is_folder();
    const std::string before = folder_there ? "" : profile_text();
    ASSERT_TRUE(plug("\n"));
    start_dialog();
    EXPECT_EQ(discovery::modem_count, 1);
    EXPECT_EQ(modem::conversation_state, CMD_IDLE);
    EXPECT_TRUE(seam.enabled(IDC_COUNTRY)) << "the read did not end: " << seam.text(IDC_STATUS);
    Texts countries = seam.combo(IDC_COUNTRY).items;
    ASSERT_FALSE(countries.empty());
    pick(IDC_COUNTRY, static_cast<int>(countries.size()) - 1);
    if (seam.enabled(IDC_APPLY)) {
        command(IDC_APPLY);
        EXPECT_EQ(seam.text(IDC_STATUS).rfind("Your modem is currently set for", 0), 0u)
            << seam.text(IDC_STATUS);
    }
    command(2 /* IDCANCEL */);
    EXPECT_EQ(seam.ended(), 1);
    EXPECT_TRUE(take_boxes().empty());

    EXPECT_EQ(is_folder(), folder_there);
    if (GetParam().keep_unchanged) {
        EXPECT_TRUE(folder_there || profile_text() == before);
    } else {
        EXPECT_TRUE(kept_every_byte(before, profile_text()));
    }
}

INSTANTIATE_TEST_SUITE_P(Profiles, DamagedProfileTest, ::testing::ValuesIn(DAMAGES),
                         [](const ::testing::TestParamInfo<DamageRow>& info) {
                             return std::string(info.param.name);
                         });
