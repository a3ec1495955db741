#include "core/settings_values.h"

TSettingsValues Settings;
