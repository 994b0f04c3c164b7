#pragma once
// The main window slides in from the left edge when shown and out towards
// the left when closed: a growing or shrinking mask over 350 ms.

#include <functional>

class QWidget;

constexpr int kSlideMs = 350;

void Slide_In(QWidget *window);
void Slide_Out(QWidget *window, std::function<void()> done);
