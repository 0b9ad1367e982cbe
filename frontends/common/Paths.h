#pragma once
// File names as the front ends' files write them ("shellmedia\menu.bmp")
// and the files on this disk.

#include <cstdio>
#include <string>

// '\' is a folder separator, and a folder or file that does not exist as
// written is found whatever its case.
std::string Frontend_DiskPath(const std::string& name);
// Opens the file a name gives for reading its bytes (text files keep their
// line ends: the tokenizer drops a carriage return); null when it is not a
// file that can be read.
std::FILE* Frontend_OpenFile(const std::string& name);
