#include "PresetSettings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

PresetSettings::PresetSettings(const std::string &port, int address)
{
    char pattern[] = "/tmp/dosetta-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr)
        return;
    root = pattern;
    ::mkdir(configHome().c_str(), 0700);
    ::mkdir((configHome() + "/Halvo Dorvex").c_str(), 0700);
    ::mkdir(runtimeDir().c_str(), 0700);
    std::ofstream conf(configHome() + "/Halvo Dorvex/Fluxo Remote Control.conf");
    // The key "Communication/Port)" as the settings file spells it.
    for (int n = 1; n <= 8; ++n)
        conf << "[DOSETTA_INSTANCE_" << n << "]\nCommunication\\Address=" << address
             << "\nCommunication\\Port%29=" << port << "\n\n";
}

PresetSettings::~PresetSettings()
{
    if (root.empty() || root.rfind("/tmp/dosetta-bench-", 0) != 0)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}
