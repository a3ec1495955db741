#include "settings/settings_values.h"

TSettingsValues Settings;
