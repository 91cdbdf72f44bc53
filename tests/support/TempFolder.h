#pragma once

#include <string>
#include <string_view>

namespace brivox::test {

// A fresh folder under /tmp, removed with everything in it when the object goes.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(const std::string& name) const { return m_root + "/" + name; }

private:
    std::string m_root;
};

// Small file helpers for tests.
void WriteTestFile(const std::string& path, std::string_view bytes);
std::string ReadTestFile(const std::string& path);

} // namespace brivox::test
