#pragma once
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// One file or folder of the portable tester, as a listing names it.
struct TVeskFile
{
    int32_t index = 0;       // list row that shows the record; set by the dialogs that list it
    uint32_t attributes = 0; // attribute word of the entry
    int32_t depth = 0;       // folder level: 1 = directly in the listed root folder
    bool isFolder = false;
    bool marked = false; // chosen by the operation that collects items
    bool cut = false;
    bool copied = false;
    QString path; // full device path; a folder's path ends with a backslash
};

// The records of one listing in listing order, owned by whoever parsed it.
using TVeskFileArray = std::vector<std::unique_ptr<TVeskFile>>;
