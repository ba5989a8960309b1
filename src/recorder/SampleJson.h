#pragma once

#include "recorder/ProcessSample.h"

#include <QJsonObject>

// A sample as one JSON object for programs: the recorder's column names as keys, quantities as
// numbers in the recorder's units, flags as arrays of their screen texts, unknown values null.
class SampleJson
{
public:
    // startMs: when the series started, for elapsed_s.
    static QJsonObject object(const ProcessSample &sample, qint64 startMs);
};
