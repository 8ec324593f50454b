// The flag library's sources agree with the shipped profile: every picture
// name that the country list can ask LoadBitmapA for is a bitmap of
// tolvex.rc, and every bitmap is a 48x32 24-bit picture that fits the
// 32-pixel list item and leaves the text at 60 pixels clear.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string source_dir = TARVELLE_SOURCE_DIR;
const std::string flags_dir = source_dir + "/resources/flags/";

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t\r");
    size_t last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

// The picture field as the program splits an entry's value: after the first
// comma and any blanks, up to the next comma. Blanks before that comma stay
// part of the name, so "de ,49" asks for a picture "de ".
std::string picture_of(const std::string& value) {
    size_t comma = value.find(',');
    if (comma == 0 || comma == std::string::npos)
        return "";
    size_t start = value.find_first_not_of(" \t", comma + 1);
    if (start == std::string::npos)
        return "";
    return value.substr(start, value.find(',', start) - start);
}

std::vector<std::string> profile_pictures() {
    std::istringstream lines(read_file(source_dir + "/profile/TOLVEX.INI"));
    std::vector<std::string> pictures;
    bool in_list = false;
    for (std::string line; std::getline(lines, line);) {
        line = trim(line);
        if (!line.empty() && line[0] == '[')
            in_list = lower(line) == "[tolvx]";
        else if (in_list && !line.empty() && line[0] != ';' && line.find('=') != std::string::npos)
            pictures.push_back(picture_of(trim(line.substr(line.find('=') + 1))));
    }
    return pictures;
}

// Resource names of tolvex.rc, lower-cased (the resource compiler stores them
// upper-case and the lookup upper-cases the name asked for), to their files.
std::map<std::string, std::string> rc_bitmaps(std::vector<std::string>& duplicates) {
    std::istringstream lines(read_file(flags_dir + "tolvex.rc"));
    std::map<std::string, std::string> bitmaps;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name, type, file;
        if (!(words >> name >> type >> file) || type != "BITMAP")
            continue;
        if (!bitmaps.emplace(lower(name), file.substr(1, file.size() - 2)).second)
            duplicates.push_back(name);
    }
    return bitmaps;
}

uint32_t le(const std::string& bytes, size_t at, size_t width) {
    uint32_t value = 0;
    for (size_t i = 0; i < width && at + i < bytes.size(); ++i)
        value |= uint32_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

TEST(FlagImages, EveryProfilePictureAndUnknHasABitmapOfItsOwnName) {
    std::vector<std::string> pictures = profile_pictures();
    ASSERT_FALSE(pictures.empty()) << "no entries in profile/TOLVEX.INI";
    pictures.push_back("unkn");

    std::vector<std::string> duplicates;
    std::map<std::string, std::string> bitmaps = rc_bitmaps(duplicates);
    EXPECT_TRUE(duplicates.empty()) << "named twice: " << duplicates.front();
    for (const std::string& picture : pictures)
        EXPECT_TRUE(bitmaps.count(lower(picture))) << "no bitmap for picture '" << picture << "'";
    // A leading digit would make the resource compiler store a numeric id,
    // which no lookup by name can find.
    for (const auto& [name, file] : bitmaps)
        EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(name[0]))) << "numeric id " << name;
}

TEST(FlagImages, EveryBitmapIs48x32TrueColourBottomUp) {
    struct Field {
        const char* what;
        size_t at, width;
        uint32_t expected;
    };
    const Field header[] = {
        {"signature BM", 0, 2, 0x4D42},
        {"info header size", 14, 4, 40},
        {"width", 18, 4, 48},
        {"height (positive: bottom-up)", 22, 4, 32},
        {"planes", 26, 2, 1},
        {"bits per pixel", 28, 2, 24},
        {"compression BI_RGB", 30, 4, 0},
    };
    std::vector<std::string> duplicates;
    std::map<std::string, std::string> bitmaps = rc_bitmaps(duplicates);
    ASSERT_FALSE(bitmaps.empty());
    for (const auto& [name, file] : bitmaps) {
        std::string bytes = read_file(flags_dir + file);
        ASSERT_GE(bytes.size(), 54u) << file << " is missing or short";
        for (const Field& field : header)
            EXPECT_EQ(le(bytes, field.at, field.width), field.expected)
                << file << ": " << field.what;
        // 32 rows of 48 * 3 bytes, already a multiple of four.
        EXPECT_GE(bytes.size(), le(bytes, 10, 4) + 32u * 144u) << file << ": pixels cut short";
    }
}

} // namespace
