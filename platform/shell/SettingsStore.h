#pragma once
// The desktop's settings store, in place of the system registry: a key path
// such as "SOFTWARE\Marn QV\Corvane" names one file of named string values
// in the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
// The path's first part "SOFTWARE" (the registry's branch for programs) is
// that folder itself; the other parts are folders, the last one the file
// "<name>.conf": here "Marn QV/Corvane.conf".
//
// A file holds one "name=value" line per value, in the order the values
// were first written; a backslash escapes a backslash, a line end and, in
// names, '='. Value names compare ignoring the case of A to Z, as the
// registry's do. Values are bytes (the programs' texts are Windows-1252).
//
// Reads open the file for reading only. A write replaces the whole file at
// once (a new file beside it renamed over it), so a reader sees the values
// before the write or after it, never a part of it, and a failed write
// leaves the file as it was.

#include <string>

// The file a key path names; empty when the path is not a valid key path
// (empty parts, "." or "..", a '/').
std::string SettingsStore_KeyFile(const std::string& keyPath);
bool SettingsStore_KeyExists(const std::string& keyPath);
// Makes the key (its folders and an empty file) when missing: what an
// installation does. True when the key exists afterwards.
bool SettingsStore_CreateKey(const std::string& keyPath);
// False, value unchanged, when the key or the value does not exist.
bool SettingsStore_ReadValue(const std::string& keyPath, const std::string& name, std::string* value);
// Sets one value of an existing key; false when the key does not exist or
// its file cannot be replaced.
bool SettingsStore_WriteValue(const std::string& keyPath, const std::string& name, const std::string& value);
