#pragma once

// Fills the string table with the program's built-in English texts. A language pack
// loaded later replaces entries by id.
void RegisterBuiltInStrings();
