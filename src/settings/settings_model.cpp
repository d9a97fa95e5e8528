/*******************************************************************************************
*  settings_model.cpp — reading and saving one setting, and the editors' edit buffers
*******************************************************************************************/
#include "settings/settings_model.h"

#include "link/command_list.h"
#include "link/state.h"
#include "settings/settings.h"

namespace vlr {

const std::string* settingValue(std::string_view key) {
    for (const SettingValue& setting : windowState().settings) {
        if (setting.key == key)
            return &setting.value;
    }
    return nullptr;
}

void saveSetting(const std::string& key, const std::string& value, bool reload) {
    for (SettingValue& setting : windowState().settings) {
        if (setting.key == key)
            setting.value = value;
    }
    storeSetting(key, value, [reload](const Json& answer) { applySaveAnswer(answer, reload); });
}

EditBuffer& editBuffer(std::string_view name) {
    auto& buffers = settingsRecords().buffers;
    for (auto& [key, buffer] : buffers) {
        if (key == name)
            return buffer;
    }
    return buffers.emplace_back(std::string(name), EditBuffer()).second;
}

}  // namespace vlr
