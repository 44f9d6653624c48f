#pragma once
#include "devicefiles/Vesk3FileManager.h"

// The three file managers of the portable tester.
namespace FileManagerKinds
{
const SFileManagerKind& Conversions();
const SFileManagerKind& HelpFiles();
const SFileManagerKind& Languages();
} // namespace FileManagerKinds
