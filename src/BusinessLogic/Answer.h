#pragma once

#include <QMetaType>

#include <string>

// What the command stack publishes after every execution: the command's id and its answer text.
struct Answer
{
    int commandId = 0;
    std::string text;
};

Q_DECLARE_METATYPE(Answer)
