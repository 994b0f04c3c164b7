#pragma once
// The terminal screen's cell grid: 48 columns of 8 pixels, 500 rows of 12,
// and how the writing position moves. No drawing here.

constexpr int kScreenWidth = 384;
constexpr int kScreenHeight = 6000;
constexpr int kCellWidth = 8;
constexpr int kLineHeight = 12;
constexpr int kLastRowY = kScreenHeight - kLineHeight;  // 5988
constexpr int kScrollFromY = kScreenHeight / 20;        // 300: row 25
constexpr int kCursorBlinkMs = 300;

enum class NewLineEffect {
    Moved,     // next row, the view stays
    Scrolled,  // next row, the view moves down one row
    Cleared,   // the last row was full: a blank screen from the top
};

// Moves (x, y) to the start of the next row and says what the view must do.
NewLineEffect New_Line_Step(int &x, int &y);

// Backspace: one cell left unless at the start of the row.
void Back_Space_Step(int &x);

struct CellPosition {
    int x;
    int y;
};

// Where the blinking cursor stands: a full row shows it at the start of the
// next row (or the top of the screen after the last row).
CellPosition Blink_Position(int x, int y);
