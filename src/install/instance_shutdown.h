// Closes running copies of the product: finds their top-level windows by
// class and sends each WM_DESTROY until none is left, on a thread of its own
// that nobody waits for.
#pragma once

// Starts the thread with its own copy of the class name, so that neither a
// later rewrite of the state nor its release can meet the running thread.
void StartCloseRunningInstances(const char* windowClass);
// The thread procedure; parameter is the copy, which it frees at its end.
unsigned long __stdcall CloseRunningInstances(void* parameter);
