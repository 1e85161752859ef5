// The settings file.
#include "settings/Settings.h"

#include "FuzzTarget.h"

KALVEX_FUZZ_TARGET(settings) {
    AppSettings settings;
    LoadSettings(fuzz::WriteInput(data, size, ".ini"), settings);
}
