/*******************************************************************************************
*  settings_stub.cpp — placeholder Settings page until the real one lands
*******************************************************************************************/
#include "settings/settings.h"

namespace vlr {

float settingsPage(float, float, float) {
    return 0;
}

void addBinding(const std::string&, int) {}

}  // namespace vlr
