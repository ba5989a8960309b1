#pragma once

#include <QFrame>

// The frame around a set-point field. It starts with a transparent border; the field inside
// switches the frame's sheet while it holds the keyboard focus, so the operator sees where a
// wheel notch will go.
class FrameEventHandler : public QFrame
{
    Q_OBJECT

public:
    explicit FrameEventHandler(QWidget *parent = nullptr);
};
