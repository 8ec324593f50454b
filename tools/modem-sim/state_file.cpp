#include "tools/modem-sim/state_file.h"

#include "tools/modem-sim/escapes.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace modem_sim {

bool load_state(const std::string& path, ModemState& state, std::string& error) {
    if (access(path.c_str(), F_OK) != 0 && errno == ENOENT)
        return true; // a modem whose memory was never written
    std::string text;
    if (!read_text_file(path, text, error))
        return false;
    return for_each_setting(text, error,
                            [&](int line, const std::string& key, const std::string& raw) {
                                std::string value, problem;
                                bool known = key == "country" || key == "note";
                                if (!known || !unescape_value(raw, value, problem)) {
                                    error = path + " line " + std::to_string(line) + ": " +
                                            (known ? problem : "unknown key " + key);
                                    return false;
                                }
                                (key == "country" ? state.country : state.note) = value;
                                return true;
                            });
}

bool save_state(const std::string& path, const ModemState& state, std::string& error) {
    std::string temp = path + ".tmp" + std::to_string(getpid());
    FILE* file = std::fopen(temp.c_str(), "w");
    if (!file) {
        error = "cannot write " + temp + ": " + std::strerror(errno);
        return false;
    }
    std::fprintf(file, "country = %s\nnote = %s\n", escape_value(state.country).c_str(),
                 escape_value(state.note).c_str());
    bool written = std::fflush(file) == 0 && fsync(fileno(file)) == 0;
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot save " + path + ": " + std::strerror(errno);
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace modem_sim
