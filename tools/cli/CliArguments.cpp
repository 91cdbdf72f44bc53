#include "cli/CliArguments.h"

#include <algorithm>

namespace brivox::cli {

std::string CCliArguments::Parse(const std::vector<std::string>& args,
                                 const std::vector<COptionSpec>& known) {
    m_values.clear();
    m_positionals.clear();
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            m_positionals.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        const auto spec = std::find_if(known.begin(), known.end(),
                                       [&](const COptionSpec& s) { return s.name == name; });
        if (spec == known.end())
            return "unknown option " + name;
        auto& values = m_values[name];
        if (!spec->takesValue) {
            if (equals != std::string::npos)
                return "option " + name + " takes no value";
            values.emplace_back();
        } else if (equals != std::string::npos) {
            values.push_back(word.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            values.push_back(args[++i]);
        } else {
            return "option " + name + " needs a value";
        }
    }
    return "";
}

std::string CCliArguments::Value(const std::string& name, const std::string& fallback) const {
    const auto found = m_values.find(name);
    return found == m_values.end() || found->second.empty() ? fallback : found->second.back();
}

const std::vector<std::string>& CCliArguments::Values(const std::string& name) const {
    static const std::vector<std::string> none;
    const auto found = m_values.find(name);
    return found == m_values.end() ? none : found->second;
}

} // namespace brivox::cli
