#pragma once
// Connects the actor system's game-level commands, level change, loading
// screen and collision pass to the engine's services.

// Installs the calls; the engine and its library should exist by then, so
// that the world unit is the library's.
void ActorSystemServices_Install();
