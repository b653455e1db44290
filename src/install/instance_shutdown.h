// Running copies of the product: their top-level windows, found by the
// product's window class, are asked to close with a posted WM_CLOSE, so that
// the product can offer to save its work. Nothing is ever sent, which would
// block behind a save prompt, and nothing is destroyed.
#pragma once

// The number of the product's top-level windows (of other processes). With
// askToClose, each of them that is enabled is posted WM_CLOSE; a disabled
// one is showing a question of its own, which is the user's to answer.
int FindProductWindows(const char* windowClass, bool askToClose);
