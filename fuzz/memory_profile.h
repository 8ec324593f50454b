// The profile that the fuzz targets' profile functions read and write.
#pragma once

#include <string>
#include <string_view>

void set_memory_profile(std::string_view text);
const std::string& memory_profile();
