#include "ui/FrameEventHandler.h"

#include "ui/StyleSheets.h"

FrameEventHandler::FrameEventHandler(QWidget *parent)
    : QFrame(parent)
{
    setStyleSheet(StyleSheets::frameUnfocused);
}
