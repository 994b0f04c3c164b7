#pragma once
// State of the test page: the periodic test string and the ASCII flood.
// TForm1 holds one of these.

struct TestTrafficState {
};
