#include "hardware/CpuInfo.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace zolven::hardware {

std::string cpuModelName(std::string_view text, std::initializer_list<std::string_view> fallbacks)
{
    std::vector<std::string_view> keys{"model name"};
    keys.insert(keys.end(), fallbacks);
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };

    std::size_t best = keys.size();
    std::string_view name;
    while (!text.empty() && best > 0) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);

        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, colon);
        while (!key.empty() && blank(key.back()))
            key.remove_suffix(1);
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && blank(value.front()))
            value.remove_prefix(1);
        while (!value.empty() && (blank(value.back()) || value.back() == '\r'))
            value.remove_suffix(1);
        if (value.empty())
            continue;
        for (std::size_t k = 0; k < best; ++k) {
            if (key == keys[k]) {
                best = k;
                name = value;
                break;
            }
        }
    }
    return std::string(name);
}

std::string deviceTreeModel(const std::string& sysRoot)
{
    std::ifstream in(sysRoot + "/firmware/devicetree/base/model", std::ios::binary);
    std::string model;
    std::getline(in, model, '\0'); // a NUL-terminated string property
    while (!model.empty() && (model.back() == '\n' || model.back() == ' '))
        model.pop_back();
    return model;
}

std::string readCpuModelName(std::initializer_list<std::string_view> fallbacks,
                             const std::string& path)
{
    // procfs files report no size: read to the end.
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return cpuModelName(text.str(), fallbacks);
}

} // namespace zolven::hardware
