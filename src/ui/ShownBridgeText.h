#pragma once

#include <QString>

// The MQTT bridge's reasons (why a connection failed or was refused, why the settings cannot
// be used) in the window's language. The bridge writes them in English for dosetta-cli's serve
// and its log; only the window's network line is worded here. Host names, topics and the TLS
// library's own words stay as they came.
class ShownBridgeText
{
public:
    static QString shown(const QString &english);
};
