// The reader part of a screen's snapshot: the screen's description as the browser's reader
// renderer reads it, with its pictures as the ids the browser fetches them under.
#pragma once

#include "platform/ui/ReaderScreen.h"

#include <nlohmann/json.hpp>

namespace host {

class ImageRegistry;

nlohmann::json readerSettingsJson(const ui::ReaderSettings& settings);
nlohmann::json readerDescriptionJson(const ui::ReaderDescription& description);
nlohmann::json readerSnapshot(const ui::ReaderScreen& screen, ImageRegistry& images);

}
