#pragma once
// The mesh readers put their buffers on the graphics device: the fuzz
// targets open the engine with a small device on the headless driver once.

// Aborts when no device can be made.
void MeshFuzz_StartDevice();
