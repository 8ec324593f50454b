// A fresh directory per test, removed afterwards, for a profile beside the program.
#pragma once

#include "profile/lookups.h"
#include "profile/profile_values.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <stdlib.h>

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ProfileDir {
  public:
    ProfileDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "profile-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ProfileDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    }
    profile::Profile& start(const char* text = nullptr) {
        if (text != nullptr) {
            write("TOLVEX.INI", text);
        }
        run_.emplace();
        profile::load_profile_for(*run_, file("tarvelle.exe").c_str());
        return *run_;
    }
    profile::Profile& profile() { return *run_; }

  private:
    std::string path_;
    std::optional<profile::Profile> run_;
};
