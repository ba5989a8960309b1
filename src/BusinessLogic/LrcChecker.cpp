#include "BusinessLogic/LrcChecker.h"

namespace BusinessLogic {

char LrcChecker::lrc(const std::string &text) const
{
    unsigned char sum = 0;
    for (const char c : text)
        sum ^= static_cast<unsigned char>(c);
    return static_cast<char>(sum);
}

} // namespace BusinessLogic
