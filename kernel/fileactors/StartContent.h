#pragma once
// The game's content at start-up: the globals file into "Global", then,
// unless the globals define an actor named "Menu", the start scene into
// "Scenery"; then the global time and the precalculation of the tree.

#include <string>

// false when a file that had to load did not, with failedFile naming it;
// menuFound tells whether a "Menu" actor exists (and the start scene was
// therefore not loaded).
bool FileActors_LoadStartContent(const std::string& globalsFile, const std::string& startScene, bool* menuFound,
                                 std::string* failedFile = nullptr);
