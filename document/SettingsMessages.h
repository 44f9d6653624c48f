#pragma once
#include "platform/core/SettingsStore.h"

// What the user hears about the settings file: a change that could not be stored and a
// file that could not be read, each naming the file and the reason.
namespace Settings
{
// "The registry entry could not be written." with the store's file and reason.
void ShowWriteFailed(const Platform::SettingsStore& store);
// The damage reporter of the program's store.
void ShowDamage(const Platform::SettingsStore::Damage& damage);
} // namespace Settings
