// Opens the estimating database library QUPRA.dll and binds its operations by ordinal.
#pragma once

#include "data/price_library.h"

const int kBindingErrorSize = 512;

// Null when the DLL cannot be loaded or lacks an ordinal; error then says which.
// The library stays loaded for the rest of the process.
PriceLibrary* OpenQupraLibrary(const char* dll_path, char* error);
