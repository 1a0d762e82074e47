#pragma once
// What the benchmarks read: whole files, and lists given on their command
// lines.

#include <filesystem>
#include <string>
#include <vector>

namespace zorv::corpus {

// The file's bytes. Throws std::runtime_error naming the file when it cannot
// be opened.
std::string readFile(const std::filesystem::path& path);

// The items of a list such as "easy,hard", empty items left out.
std::vector<std::string> split(const std::string& text, char by);

}  // namespace zorv::corpus
