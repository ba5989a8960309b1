#pragma once

#include <string>

namespace BusinessLogic {

// Longitudinal redundancy check of the pump protocol: the XOR of all bytes, sent as one raw byte.
class LrcChecker
{
public:
    virtual ~LrcChecker() = default;

    char lrc(const std::string &text) const;
};

} // namespace BusinessLogic
