#include "ReceiptLog.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string ReceiptLog::percentDecoded(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::map<std::string, double> ReceiptLog::read(const std::string &path, const std::string &topicEnd)
{
    std::map<std::string, double> receipts;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, 8, "receipt ") != 0)
            continue;
        std::istringstream fields(line.substr(8));
        std::string ms;
        std::string topic;
        std::string correlation;
        fields >> ms >> topic >> correlation;
        char *end = nullptr;
        const double at = std::strtod(ms.c_str(), &end);
        if (end == ms.c_str() || topic.size() < topicEnd.size() ||
            topic.compare(topic.size() - topicEnd.size(), topicEnd.size(), topicEnd) != 0)
            continue;
        receipts.emplace(percentDecoded(correlation), at);
    }
    return receipts;
}
