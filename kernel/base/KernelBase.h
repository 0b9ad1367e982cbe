#pragma once
// The base library's globals back to their start, for a fresh run in one
// process (tests): frame time and number, the developer-keys switch, the
// random sequence (seed 1) and the current file system (the disk; a pack
// archive left open is released).

void KernelBase_Reset();
