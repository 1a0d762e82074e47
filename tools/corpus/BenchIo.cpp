#include "tools/corpus/BenchIo.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace zorv::corpus {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> split(const std::string& text, char by)
{
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, by);)
        if (!item.empty())
            out.push_back(item);
    return out;
}

}  // namespace zorv::corpus
