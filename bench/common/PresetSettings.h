#pragma once

#include <string>

// A settings and runtime directory of one run, preset so that the program opens the given port
// at the given address from its first start, whatever instance number it gets. Removed with the
// object.
class PresetSettings
{
public:
    PresetSettings(const std::string &port, int address);
    ~PresetSettings();
    PresetSettings(const PresetSettings &) = delete;
    PresetSettings &operator=(const PresetSettings &) = delete;

    bool ok() const { return !root.empty(); }
    std::string configHome() const { return root + "/config"; }
    std::string runtimeDir() const { return root + "/run"; }
    std::string path(const std::string &name) const { return root + "/" + name; }

private:
    std::string root;
};
