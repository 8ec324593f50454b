// The profile's country rules on arbitrary modem answers and an arbitrary
// profile: the entry split, the supported-list parser (with the unknown
// codes it records), the modem's present country and the lookups that the
// country list's drawing makes. Every text stays within its field, the
// lists within their capacity, and the key cursor on the key list.
#include "fuzz/fuzz_input.h"
#include "fuzz/memory_profile.h"
#include "common/text.h"
#include "common/trace.h"
#include "modem/conversation.h"
#include "profile/country_lists.h"
#include "profile/country_record.h"
#include "profile/lookups.h"
#include "profile/present_country.h"
#include "profile/saved_choice.h"
#include "serial/port_session.h"

#include <cstring>

namespace {

template <size_t N> bool terminated(const char (&text)[N]) {
    return std::memchr(text, '\0', N) != nullptr;
}

// What a modem said, in fields as big as a conversation's.
struct Said {
    int32_t use_gci = 0;
    char i5_code[modem::CODE_TEXT_SIZE] = {};
    char i9_text[modem::CODE_TEXT_SIZE] = {};
    char country_list_reply[modem::LIST_REPLY_SIZE] = {};
    char code_to_send[modem::CODE_TEXT_SIZE] = {};
    profile::CountryList countries;
};
Said said;

bool whole(const profile::CountryRecord& record) {
    return terminated(record.name) && terminated(record.picture) && terminated(record.code);
}

bool cursor_on_key_list(const profile::Profile& profile) {
    return profile.key_cursor >= profile.profile_keys &&
           profile.key_cursor < profile.profile_keys + sizeof profile.profile_keys;
}

// The country list as the dialog builds it from a list answer.
void parse_list(profile::Profile& profile, const std::string& answer) {
    copy_text(said.country_list_reply, answer.c_str());
    char copy[500];
    profile::ListAnswer taken = profile::judge_list_answer(said.country_list_reply);
    copy_text(copy, taken == profile::ListAnswer::items ? said.country_list_reply : "");
    if (taken != profile::ListAnswer::not_a_list) {
        profile::CCTestMembers(profile, said.countries, copy, said.use_gci != 0);
    }
    FUZZ_CHECK(said.countries.supported_count >= 0 &&
               said.countries.supported_count <= profile::SUPPORTED_CAPACITY);
    for (int i = 0; i < said.countries.supported_count; ++i) {
        FUZZ_CHECK(terminated(said.countries.supported_entries[i]));
        FUZZ_CHECK(terminated(said.countries.supported_items[i].key));
        FUZZ_CHECK(terminated(said.countries.supported_items[i].code));
    }
}

} // namespace

// Nothing is sent to a modem here: the note is never rewritten.
Failure port_write(PortSession*, const char*, uint32_t) {
    return {};
}
int port_close(PortSession*) {
    return 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = (set_trace_sink([](const char*) {}), true);
    (void)quiet;

    FuzzInput input(data, size);
    uint8_t flags = input.byte();
    std::string i5 = input.text();
    std::string i9 = input.text();
    std::string list = input.text();
    set_memory_profile(input.rest());

    said = Said{};
    profile::Profile profile;
    profile::load_profile_for(profile, "/fuzz/tarvelle.exe");
    FUZZ_CHECK(cursor_on_key_list(profile));
    said.use_gci = flags & 1;

    // Any text may be an entry's value.
    profile::CountryRecord record;
    profile::split_entry(i5.c_str(), record);
    FUZZ_CHECK(whole(record));

    parse_list(profile, list);
    copy_text(said.i5_code, i5.c_str());
    copy_text(said.i9_text, i9.c_str());
    profile::PresentEntry present;
    if (profile::find_present_entry(profile, said.i5_code, said.i9_text, said.use_gci != 0,
                                    present)) {
        FUZZ_CHECK(terminated(present.key) && whole(present.entry));
        if (!said.use_gci && (flags & 2)) {
            profile::save_choice(profile, present.key); // as the end of an apply does
        }
    }
    FUZZ_CHECK(whole(profile.current_record) && cursor_on_key_list(profile));

    // Drawing the list looks every item up by name.
    for (int i = 0; i < said.countries.supported_count; ++i) {
        profile::CCfindSetCur(profile, said.countries.supported_entries[i]);
        FUZZ_CHECK(cursor_on_key_list(profile) && terminated(said.code_to_send));
    }
    // A second run meets the entries the first one recorded.
    if (flags & 4) {
        profile::load_profile_for(profile, "/fuzz/tarvelle.exe");
        parse_list(profile, list);
    }
    return 0;
}
