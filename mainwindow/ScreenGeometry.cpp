#include "mainwindow/ScreenGeometry.h"

NewLineEffect New_Line_Step(int &x, int &y)
{
    x = 0;
    if (y >= kLastRowY) {
        y = 0;
        return NewLineEffect::Cleared;
    }
    const bool scroll = y >= kScrollFromY;
    y += kLineHeight;
    return scroll ? NewLineEffect::Scrolled : NewLineEffect::Moved;
}

void Back_Space_Step(int &x)
{
    if (x != 0)
        x -= kCellWidth;
}

CellPosition Blink_Position(int x, int y)
{
    if (x != kScreenWidth)
        return {x, y};
    return {0, y == kLastRowY ? 0 : y + kLineHeight};
}
