// The shipped profile: every entry whole, its key its code, found by its own
// name, and its picture a bitmap of tolvex.rc under that name, 48x32 at 24
// bits to fit the 32-pixel item.
#include "profile/lookups.h"
#include "profile/profile_file.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

static std::string read_file(const std::string& path) {
    std::ifstream in(TARVELLE_SOURCE_DIR + path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Resource names are kept, and looked up, upper-cased.
static std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

TEST(ShippedProfile, EveryEntryIsWholeFoundByItsNameAndHasItsFlag) {
    std::map<std::string, std::string> bitmaps; // name to file
    std::istringstream lines(read_file("/resources/flags/tolvex.rc"));
    for (std::string line, name, type, file; std::getline(lines, line);) {
        if (std::istringstream(line) >> name >> type >> file && type == "BITMAP") {
            EXPECT_TRUE(bitmaps.emplace(upper(name), file.substr(1, file.size() - 2)).second)
                << name;
        }
    }
    profile::Profile shipped;
    profile::load_profile_for(shipped, TARVELLE_SOURCE_DIR "/profile/tarvelle.exe");
    char all_keys[4096];
    ASSERT_LT(profile::get_profile_string("tolvx", nullptr, all_keys, sizeof all_keys,
                                          shipped.profile_path),
              static_cast<int>(sizeof shipped.profile_keys))
        << "the key list is cut";
    std::vector<std::string> pictures = {"unkn"};
    std::set<std::string> codes;
    for (const char* key = shipped.profile_keys; *key != '\0'; key += std::strlen(key) + 1) {
        profile::CountryRecord entry{};
        ASSERT_EQ(profile::read_entry(shipped, key, entry), 1) << key;
        EXPECT_TRUE(std::strlen(key) == 2 && std::strspn(key, "0123456789ABCDEF") == 2) << key;
        EXPECT_STREQ(entry.code, key);
        EXPECT_TRUE(codes.insert(entry.code).second) << key;
        // Picking a name must land on its own entry, not an earlier one whose name holds it.
        ASSERT_EQ(profile::CCfindSetCur(shipped, entry.name), 1) << entry.name;
        EXPECT_STREQ(shipped.key_cursor, key) << entry.name;
        pictures.push_back(entry.picture);
    }
    ASSERT_GT(pictures.size(), 50u) << "no entries in profile/TOLVEX.INI";
    // Pixels at 54 after a 40-byte header: 48 by 32 (bottom-up), 1 plane, 24 bits, BI_RGB.
    const std::string header("BM\x36\0\0\0\x28\0\0\0\x30\0\0\0\x20\0\0\0\x01\0\x18\0\0\0\0\0", 26);
    for (const std::string& picture : pictures) {
        ASSERT_TRUE(std::isalpha(static_cast<unsigned char>(picture[0])) &&
                    bitmaps.count(upper(picture)))
            << "no bitmap named '" << picture << "' (a leading digit makes a numeric id)";
        std::string bytes = read_file("/resources/flags/" + bitmaps[upper(picture)]);
        ASSERT_GE(bytes.size(), 54u + 32u * 48u * 3u) << picture << ": missing or cut short";
        EXPECT_EQ(bytes.substr(0, 2) + bytes.substr(10, 24), header) << picture;
    }
}
