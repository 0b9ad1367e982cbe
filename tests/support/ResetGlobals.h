#pragma once
// One call that puts every subsystem's globals back to their start, so a
// test fixture begins from a fresh process's state without setting globals
// by hand. Each subsystem offers one reset function; this calls them all.
// Objects made once per process (the engine, the graphics device, the
// window) stay, and so do installed hooks.

void ResetGlobals();
