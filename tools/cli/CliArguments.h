#pragma once

#include <map>
#include <string>
#include <vector>

namespace brivox::cli {

struct COptionSpec {
    std::string name; // with its dashes, "--raw"
    bool takesValue = false;
};

// A command's arguments: options (repeatable, "--name value" or "--name=value"), then positional
// words. "--" ends the options, so that a positional word may begin with "-".
class CCliArguments {
public:
    // Returns an error text, empty on success.
    std::string Parse(const std::vector<std::string>& args, const std::vector<COptionSpec>& known);

    bool Has(const std::string& name) const { return m_values.contains(name); }
    std::string Value(const std::string& name, const std::string& fallback = "") const;
    const std::vector<std::string>& Values(const std::string& name) const;
    const std::vector<std::string>& Positionals() const { return m_positionals; }

private:
    std::map<std::string, std::vector<std::string>> m_values;
    std::vector<std::string> m_positionals;
};

} // namespace brivox::cli
